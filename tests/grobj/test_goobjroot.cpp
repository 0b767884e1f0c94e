// The annotation objects' class system and the manager's routing, alone:
// owners are plain addresses and the objects are probes that log what
// reaches them.

#include <gtest/gtest.h>

#include "goobjroot.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using gobj::Object;
using gobj::ObjectMgr;

std::vector<std::string> &log()
{
    static std::vector<std::string> l;
    return l;
}

int owner_a = 0, owner_b = 0;
void *const A = &owner_a;
void *const B = &owner_b;

std::string owner_name(void *o) { return o == A ? "A" : o == B ? "B" : "-"; }

// Logs "owner:id" of each request it receives; hit by points whose x lies
// in [lo, hi).
class Probe : public Object {
public:
    using Object::Object;
    std::unique_ptr<Object> clone() const override { return std::make_unique<Probe>(*this); }
    void receive(ObjRequest &) override { log().push_back(owner_name(owner) + ":" + std::to_string(id)); }
    bool interested(const double point[2], double outline[8]) override
    {
        if (point[0] < lo || point[0] >= hi)
            return false;
        if (outline)
            outline[0] = id;
        return true;
    }
    double lo = 0, hi = 0;
};

Object *make_probe(int id, const ObjClassRec *c, void *o) { return new Probe(c, id, o); }
const ObjClassRec textRec{"annot", &drawnClassRec, make_probe, 0, 0};
const ObjClassRec arrowRec{"arrow", &drawnClassRec, make_probe, 20, 1};

struct Fixture {
    std::unique_ptr<ObjectMgr> m = gobjmgr_create_manager();
    Probe *add(void *owner, int id, const ObjClassRec *c = &textRec, int parent = -1)
    {
        auto p = std::make_unique<Probe>(c, id, owner);
        p->parent = parent;
        Probe *raw = p.get();
        gobjmgr_adopt_object(m.get(), std::move(p));
        return raw;
    }
    std::vector<int> ids(void *owner) const
    {
        std::vector<int> out;
        for (Object *o : m->owned(owner))
            out.push_back(o->id);
        return out;
    }
    void send(int id, void *owner, const ObjClassRec *c = &textRec, double *point = nullptr, ObjFilter f = nullptr)
    {
        ObjRequest r;
        r.id = id;
        r.owner = owner;
        r.cls = c;
        r.point = point;
        r.filter = f;
        gobjmgr_message(m.get(), r);
        last = r;
    }
    ObjRequest last;
};

bool odd_ids(void *, int id) { return id % 2 == 1; }

TEST(ObjectManager, Routing)
{
    struct Case {
        const char *what;
        std::function<void(Fixture &)> act;
        std::vector<std::string> delivered;
        std::vector<int> ids_a;  // A's objects afterwards, in adoption order
    } cases[] = {
        {"an unknown id makes an object of the request's class",
         [](Fixture &f) {
             f.send(300, A);
             EXPECT_EQ(f.m->find(A, 300)->cls, &textRec);
         },
         {"A:300"}, {300}},
        {"the lowest free id: 229, then 228 once it is gone",
         [](Fixture &f) {
             for (int i = 0; i <= 228; i++)
                 f.add(A, i);
             EXPECT_EQ(gobjmgr_new_object(f.m.get(), A, &textRec), 229);
             const int gone[] = {228, 229};
             destroy_owned_object_list(f.m.get(), A, gone);
             EXPECT_EQ(gobjmgr_new_object(f.m.get(), A, &textRec), 228);
             EXPECT_EQ(f.ids(A).size(), 229u);
             f.m->destroy_owners(A, nullptr, 0);
         },
         {"A:229", "A:228"}, {}},
        {"a first arrow gets 20; other owners' ids do not count",
         [](Fixture &f) {
             f.add(B, 20);
             f.send(OBJ_NEW, A, &arrowRec);
             EXPECT_EQ(f.last.id, 20);
             f.send(OBJ_NEW, A, &arrowRec);
             EXPECT_EQ(f.last.id, 21);
         },
         {"A:20", "A:21"}, {20, 21}},
        {"a text's arrows go with it, the walk restarting",
         [](Fixture &f) {
             f.add(A, 20, &arrowRec, 230);
             f.add(A, 230);
             f.add(A, 21, &arrowRec, 230);
             f.add(A, 231);
             f.add(A, 22, &arrowRec, 231);
             f.add(B, 23, &arrowRec, 230);  // another graph's
             const int gone[] = {230};
             destroy_owned_object_list(f.m.get(), A, gone);
             destroy_owned_object_list(f.m.get(), A, {});
             EXPECT_EQ(f.ids(B), std::vector<int>{23});
         },
         {}, {231, 22}},
        {"-1 reaches every object of the owner in adoption order",
         [](Fixture &f) {
             f.add(A, 5);
             f.add(B, 1);
             f.add(A, 2);
             f.add(A, 9, &arrowRec);
             f.send(OBJ_EVERY, A);
         },
         {"A:5", "A:2", "A:9"}, {5, 2, 9}},
        {"-2 reaches the class exactly, through the filter",
         [](Fixture &f) {
             for (int i = 1; i <= 4; i++)
                 f.add(A, i);
             f.add(A, 7, &arrowRec);
             f.add(B, 3);
             f.send(OBJ_BY_CLASS, A, &textRec, nullptr, odd_ids);
             f.send(OBJ_BY_CLASS, A, &arrowRec);
             f.send(OBJ_BY_CLASS, A, &drawnClassRec);  // an ancestor is not the class
         },
         {"A:1", "A:3", "A:7"}, {1, 2, 3, 4, 7}},
        {"-3: the first hit in adoption order becomes the active object",
         [](Fixture &f) {
             f.add(A, 8)->hi = 10;
             f.add(A, 4)->hi = 10;
             f.add(B, 1)->hi = 100;
             gobjmgr_set_active_object(-1);
             double point[2] = {5, 0}, outline[8] = {};
             ObjRequest r;
             r.id = OBJ_AT_POINT;
             r.owner = A;
             r.point = point;
             r.outline = outline;
             gobjmgr_message(f.m.get(), r);
             EXPECT_EQ(r.id, 8);
             EXPECT_EQ(outline[0], 8);
             EXPECT_EQ(gobjmgr_get_active_object(), 8);
             point[0] = 50;
             f.send(OBJ_AT_POINT, A, &textRec, point);
             EXPECT_EQ(f.last.id, OBJ_AT_POINT) << "a miss";
             EXPECT_EQ(gobjmgr_get_active_object(), 8);
             f.send(OBJ_AT_POINT, A);
             EXPECT_EQ(f.last.id, OBJ_AT_POINT) << "no point";
         },
         {}, {8, 4}},
        {"owner none finds any owner's object; get ignores others",
         [](Fixture &f) {
             f.add(B, 6);
             f.send(6, nullptr);
             EXPECT_EQ(gobjmgr_get_object(f.m.get(), nullptr, 6)->owner, B);
             EXPECT_EQ(gobjmgr_get_object(f.m.get(), A, 6), nullptr) << "no creation";
         },
         {"B:6"}, {}},
        {"an abstract class makes nothing",
         [](Fixture &f) {
             f.send(40, A, &drawnClassRec);
             EXPECT_EQ(gobjmgr_new_object(f.m.get(), A, &drawnClassRec), -1);
             f.send(41, A, nullptr);
             EXPECT_EQ(f.m->find(A, 41)->cls, objectsClass) << "the default class is Object";
         },
         {}, {41}},
        {"children by parent and class",
         [](Fixture &f) {
             f.add(A, 230);
             f.add(A, 20, &arrowRec, 230);
             f.add(A, 231, &textRec, 230);
             f.add(A, 21, &arrowRec, 230);
             f.add(A, 22, &arrowRec, 231);
             f.add(B, 23, &arrowRec, 230);
             EXPECT_EQ(get_children(f.m.get(), A, 230, &arrowRec), (std::vector<int>{20, 21}));
             EXPECT_EQ(get_children(f.m.get(), A, 230, nullptr), (std::vector<int>{20, 231, 21}));
             EXPECT_TRUE(get_children(f.m.get(), A, 999, nullptr).empty());
         },
         {}, {230, 20, 231, 21, 22}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        log().clear();
        c.act(f);
        EXPECT_EQ(log(), c.delivered);
        EXPECT_EQ(f.ids(A), c.ids_a);
    }
}

TEST(ObjectClasses, DescentAndClones)
{
    Probe text(&textRec, 1, A), arrow(&arrowRec, 2, A);
    Object root(objectsClass, 3, nullptr);
    struct Case {
        const Object *a, *b;
        bool a_under_b;
    } cases[] = {{&text, &text, true}, {&text, &root, true}, {&root, &text, false}, {&text, &arrow, false}};
    for (const Case &c : cases)
        EXPECT_EQ(is_sub_class(c.a, c.b), c.a_under_b) << c.a->cls->name << " under " << c.b->cls->name;
    EXPECT_TRUE(is_sub_class_of(drawnClass, &arrow));
    EXPECT_TRUE(is_sub_class_of(objectsClass, &arrow));
    EXPECT_FALSE(is_sub_class_of(&textRec, &arrow));
    EXPECT_FALSE(is_sub_class_of(drawnClass, &root));

    text.parent = 7;
    text.hi = 3;
    std::unique_ptr<Object> copy = gobjroot_clone_object(&text);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->cls, &textRec);
    EXPECT_EQ(copy->parent, 7);
    EXPECT_EQ(static_cast<Probe *>(copy.get())->hi, 3);
    EXPECT_EQ(gobjroot_create_object(1, drawnClass, A), nullptr);
    EXPECT_EQ(gobjroot_create_object(1, objMgrClass, A)->cls, objMgrClass);
}

}  // namespace
