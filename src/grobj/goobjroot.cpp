// The annotation objects' class system and the routing of requests by the
// object manager.

#include "goobjroot.h"

#include <algorithm>

namespace gobj {

namespace {

Object *make_object(int id, const ObjClassRec *cls, void *owner) { return new Object(cls, id, owner); }
Object *make_manager(int id, const ObjClassRec *cls, void *owner) { return new ObjectMgr(cls, id, owner); }

int active_object = -1;

bool descends(const ObjClassRec *cls, const ObjClassRec *from)
{
    for (const ObjClassRec *c = from; c; c = c->superclass == c ? nullptr : c->superclass)
        if (c == cls)
            return true;
    return false;
}

}  // namespace

const ObjClassRec objectsClassRec{"Object", &objectsClassRec, make_object, 0, 0};
const ObjClassRec objmgrClassRec{"ObjectMgr", &objectsClassRec, make_manager, 0, 0};
const ObjClassRec drawnClassRec{"Drawn", &objectsClassRec, nullptr, 0, 0};
const ObjClassRec *const objectsClass = &objectsClassRec;
const ObjClassRec *const objMgrClass = &objmgrClassRec;
const ObjClassRec *const drawnClass = &drawnClassRec;

// ---- objects ------------------------------------------------------------------------------

Object::Object(const ObjClassRec *c, int i, void *o) : cls(c), id(i), owner(o) {}

std::unique_ptr<Object> Object::clone() const { return std::make_unique<Object>(*this); }

void Object::receive(ObjRequest &) {}

bool Object::interested(const double *, double *) { return false; }

}  // namespace gobj

using gobj::Object;
using gobj::ObjectMgr;

std::unique_ptr<Object> gobjroot_create_object(int id, const ObjClassRec *cls, void *owner)
{
    if (!cls || !cls->make)
        return nullptr;
    return std::unique_ptr<Object>(cls->make(id, cls, owner));
}

std::unique_ptr<Object> gobjroot_clone_object(const Object *object) { return object ? object->clone() : nullptr; }

void gobjroot_message_object(Object *object, ObjRequest &request)
{
    if (object)
        object->receive(request);
}

bool is_sub_class(const Object *a, const Object *b) { return a && b && gobj::descends(b->cls, a->cls); }

bool is_sub_class_of(const ObjClassRec *c, const Object *b) { return c && b && gobj::descends(c, b->cls); }

namespace gobj {

// ---- the manager ----------------------------------------------------------------------------

void ObjectMgr::adopt(std::unique_ptr<Object> object)
{
    if (object)
        objects_.push_back(std::move(object));
}

Object *ObjectMgr::find(void *o, int i) const
{
    for (const auto &p : objects_)
        if (p->id == i && (!o || p->owner == o))
            return p.get();
    return nullptr;
}

std::vector<Object *> ObjectMgr::owned(void *o) const
{
    std::vector<Object *> out;
    for (const auto &p : objects_)
        if (p->owner == o)
            out.push_back(p.get());
    return out;
}

int ObjectMgr::new_id(void *o, const ObjClassRec *c) const
{
    std::vector<int> used;
    for (const auto &p : objects_)
        if (p->owner == o)
            used.push_back(p->id);
    std::sort(used.begin(), used.end());
    int id = c ? std::max(c->first_new_id, 0) : 0;
    for (int u : used)
        if (u == id)
            id++;
        else if (u > id)
            break;
    return id;
}

void ObjectMgr::destroy_owners(void *o, const int *ids, int count)
{
    if (!ids) {
        std::erase_if(objects_, [&](const std::unique_ptr<Object> &p) { return p->owner == o; });
        return;
    }
    const std::span<const int> wanted(ids, static_cast<size_t>(std::max(count, 0)));
    // One listed object at a time, its children with it, then from the
    // head again: the list changed under the walk.
    for (;;) {
        auto hit = std::find_if(objects_.begin(), objects_.end(), [&](const std::unique_ptr<Object> &p) {
            return p->owner == o && std::find(wanted.begin(), wanted.end(), p->id) != wanted.end();
        });
        if (hit == objects_.end())
            return;
        const int parent = (*hit)->id;
        objects_.erase(hit);
        std::erase_if(objects_, [&](const std::unique_ptr<Object> &p) { return p->owner == o && p->parent == parent; });
    }
}

void ObjectMgr::receive(ObjRequest &r)
{
    const ObjClassRec *c = r.cls ? r.cls : objectsClass;
    switch (r.id) {
    case OBJ_EVERY:
        for (Object *p : owned(r.owner))
            p->receive(r);
        return;
    case OBJ_BY_CLASS:
        for (Object *p : owned(r.owner))
            if (p->cls == c && (!r.filter || r.filter(p->owner, p->id)))
                p->receive(r);
        return;
    case OBJ_AT_POINT:
        if (!r.point)
            return;
        for (Object *p : owned(r.owner))
            if (p->interested(r.point, r.outline)) {
                r.id = p->id;
                active_object = p->id;
                return;
            }
        return;
    case OBJ_NEW: {
        std::unique_ptr<Object> made = gobjroot_create_object(new_id(r.owner, c), c, r.owner);
        if (!made)
            return;
        Object *p = made.get();
        r.id = p->id;
        adopt(std::move(made));
        p->receive(r);
        return;
    }
    default: break;
    }
    Object *p = find(r.owner, r.id);
    if (!p) {
        std::unique_ptr<Object> made = gobjroot_create_object(r.id, c, r.owner);
        if (!made)
            return;
        p = made.get();
        adopt(std::move(made));
    }
    p->receive(r);
}

}  // namespace gobj

std::unique_ptr<ObjectMgr> gobjmgr_create_manager()
{
    return std::make_unique<ObjectMgr>(objMgrClass, 0, nullptr);
}

void gobjmgr_adopt_object(ObjectMgr *manager, std::unique_ptr<Object> object)
{
    if (manager)
        manager->adopt(std::move(object));
}

void gobjmgr_destroy_owned_objects(ObjectMgr *manager, void *owner)
{
    if (manager)
        manager->destroy_owners(owner, nullptr, 0);
}

void destroy_owned_object_list(ObjectMgr *manager, void *owner, std::span<const int> ids)
{
    if (manager && !ids.empty())
        manager->destroy_owners(owner, ids.data(), static_cast<int>(ids.size()));
}

Object *gobjmgr_get_object(ObjectMgr *manager, void *owner, int id)
{
    return manager ? manager->find(owner, id) : nullptr;
}

std::vector<int> get_children(ObjectMgr *manager, void *owner, int parent, const ObjClassRec *cls)
{
    std::vector<int> out;
    if (!manager)
        return out;
    for (Object *p : manager->owned(owner))
        if (p->parent == parent && (!cls || p->cls == cls))
            out.push_back(p->id);
    return out;
}

int gobjmgr_new_object(ObjectMgr *manager, void *owner, const ObjClassRec *cls)
{
    if (!manager)
        return -1;
    ObjRequest r;
    r.id = OBJ_NEW;
    r.owner = owner;
    r.cls = cls;
    manager->receive(r);
    return r.id == OBJ_NEW ? -1 : r.id;
}

void gobjmgr_message(ObjectMgr *manager, ObjRequest &request)
{
    if (manager)
        manager->receive(request);
}

int gobjmgr_get_active_object() { return gobj::active_object; }
void gobjmgr_set_active_object(int id) { gobj::active_object = id; }
