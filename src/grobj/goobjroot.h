// The annotation objects' class system and their manager.  Classes are
// described by class records (a name and a superclass), which name the
// class of a request and answer whether an object is of a class; an
// object's behaviour is its virtual methods.  Every request goes to the one
// manager, which routes it by object id to one object, to all objects of
// an owner, to all objects of a class, to the object under a point, or to
// a newly made object.
//
// Nothing here knows what an owner is: the graph model passes its graphs
// as opaque pointers, and null stands for "no owner".
//
// The classes live in namespace gobj: the toolkit's headers take the name
// Object for themselves.
#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <vector>

// Routing ids.
enum { OBJ_EVERY = -1, OBJ_BY_CLASS = -2, OBJ_AT_POINT = -3, OBJ_NEW = -4 };

// What a drawn object is asked to do.
enum { OBJ_OP_NONE = 0, OBJ_OP_SET, OBJ_OP_GET, OBJ_OP_CHECK, OBJ_OP_WRITE, OBJ_OP_DRAW, OBJ_OP_SET_POSITION,
       OBJ_OP_CHECK_POSITION };

namespace gobj {

class Object;

// A class record.  `make` builds an instance (null for an abstract class:
// no object of it can be made); `first_new_id` is the lowest id that a new
// object of the class is given; `external_id` is the class number written
// to graph format files (0 texts, 1 arrows).
struct ObjClassRec {
    const char *name;
    const ObjClassRec *superclass;  // the root names itself
    Object *(*make)(int id, const ObjClassRec *cls, void *owner);
    int first_new_id;
    int external_id;
};

extern const ObjClassRec objectsClassRec, objmgrClassRec, drawnClassRec;
extern const ObjClassRec *const objectsClass, *const objMgrClass, *const drawnClass;

// Delivers a by-class request only to objects for which it returns true.
using ObjFilter = bool (*)(void *owner, int id);

// One request.  The routing reads id, owner, cls, point and filter; the
// receiving object reads the rest and writes its answers back.
struct ObjRequest {
    int id = OBJ_EVERY;                  // an object id or a routing id
    void *owner = nullptr;               // null: no owner, and for an id, any owner
    int hold = 0;                        // non-zero: drawn objects ignore the request
    int operation = OBJ_OP_NONE;
    int property = -1;
    int qualifier = 0;
    const void *value = nullptr;         // to set or check; the body of a set-position
    int extra = 0;                       // extra argument of a property query
    void *graph = nullptr;               // to draw on or position against
    const ObjClassRec *cls = nullptr;    // null: Object
    double *point = nullptr;             // device coordinates (x, y)
    ObjFilter filter = nullptr;
    FILE *file = nullptr;
    // Answers.
    int found = 0;                       // get: found; check: acceptable; check position: moved
    void *result = nullptr;              // get: the value
    double *outline = nullptr;           // at a point: room for the hit object's 8 outline numbers
};

class Object {
public:
    Object(const ObjClassRec *cls, int id, void *owner);
    virtual ~Object() = default;
    Object(const Object &) = default;
    Object &operator=(const Object &) = delete;

    virtual std::unique_ptr<Object> clone() const;
    // Receives a request; an Object does nothing with it.
    virtual void receive(ObjRequest &request);
    // Whether the device point lies on the object (the outline, when asked,
    // gets the four corners around the anchor); an Object is never hit.
    virtual bool interested(const double point[2], double outline[8]);

    const ObjClassRec *cls;
    int id;
    int parent = -1;  // the text an arrow belongs to
    void *owner;      // null for none
};

// The manager: objects in the order they were adopted.
class ObjectMgr : public Object {
public:
    ObjectMgr(const ObjClassRec *cls, int id, void *owner) : Object(cls, id, owner) {}
    ObjectMgr(const ObjectMgr &) = delete;
    std::unique_ptr<Object> clone() const override { return nullptr; }
    void receive(ObjRequest &request) override;

    void adopt(std::unique_ptr<Object> object);
    // Destroys the owner's objects; with ids, only those and their children.
    void destroy_owners(void *owner, const int *ids, int count);
    Object *find(void *owner, int id) const;
    // The owner's objects in adoption order.
    std::vector<Object *> owned(void *owner) const;
    int new_id(void *owner, const ObjClassRec *cls) const;

private:
    std::vector<std::unique_ptr<Object>> objects_;
};

}  // namespace gobj

using gobj::ObjClassRec;
using gobj::ObjRequest;
using gobj::ObjFilter;
using gobj::objectsClassRec;
using gobj::objmgrClassRec;
using gobj::drawnClassRec;
using gobj::objectsClass;
using gobj::objMgrClass;
using gobj::drawnClass;

// Makes an object of the class (null for an abstract class).
std::unique_ptr<gobj::Object> gobjroot_create_object(int id, const ObjClassRec *cls, void *owner);
std::unique_ptr<gobj::Object> gobjroot_clone_object(const gobj::Object *object);
void gobjroot_message_object(gobj::Object *object, ObjRequest &request);

// Whether a's class is b's class or descends from it; whether b's class is
// c or descends from it.
bool is_sub_class(const gobj::Object *a, const gobj::Object *b);
bool is_sub_class_of(const ObjClassRec *c, const gobj::Object *b);

std::unique_ptr<gobj::ObjectMgr> gobjmgr_create_manager();
void gobjmgr_adopt_object(gobj::ObjectMgr *manager, std::unique_ptr<gobj::Object> object);
void gobjmgr_destroy_owned_objects(gobj::ObjectMgr *manager, void *owner);
// Destroys the listed objects of the owner and their children (nothing
// for an empty list).
void destroy_owned_object_list(gobj::ObjectMgr *manager, void *owner, std::span<const int> ids);
gobj::Object *gobjmgr_get_object(gobj::ObjectMgr *manager, void *owner, int id);
// The ids of the owner's objects whose parent is `parent` and whose class
// is `cls` exactly (null: any class).
std::vector<int> get_children(gobj::ObjectMgr *manager, void *owner, int parent, const ObjClassRec *cls);
// Makes an object of the class with a new id; its id, or -1 when the
// class is abstract.
int gobjmgr_new_object(gobj::ObjectMgr *manager, void *owner, const ObjClassRec *cls);
void gobjmgr_message(gobj::ObjectMgr *manager, ObjRequest &request);

// The object last found under a point, or the text a new arrow belongs to.
int gobjmgr_get_active_object();
void gobjmgr_set_active_object(int id);
