// The user object: the users of the database, and the drop target that
// covers the whole canvas.  It is not drawn; delete and edit create,
// change and drop database users and keep the dictionary's user list.

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "obview.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmsgs.h"

#include <cstring>

namespace {

// The kind data after a change: no name, level 0, the dictionary's list;
// the object keeps a copy.
void settle(QueryObject *object, ObUserData *data)
{
    data->name[0] = '\0';
    data->level = 0;
    data->users = wsdict_dictionary ? wsdict_dictionary->users : nullptr;
    memcpy(object->kind_data, data, sizeof *data);
}

void del(QueryObject *object, void *kind_data, int *result)
{
    *result = 0;
    auto *data = static_cast<ObUserData *>(kind_data);
    if (!data || !data->name[0])
        return;
    DictUser *user = obdict_ob_find_user(data->name);
    if (!user)
        return;
    if (obdb_obq_drop_user(data->name)) {
        obdict_ob_delete_user(user);
        settle(object, data);
    }
}

void edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObUserData *>(kind_data);
    if (!data || !object || !data->name[0] || !wsdict_dictionary)
        return;
    // The connection's own entry is never changed from here.
    if (strcmp(data->name, wsdict_dictionary->user) == 0)
        return;
    int ok;
    if (DictUser *user = obdict_ob_find_user(data->name)) {
        ok = obdb_obq_grant_user(data->level, data->name);
        if (ok)
            user->access = data->level;
    } else {
        ok = obdb_obq_create_user(data->name, data->password, data->level);
        if (ok)
            obdict_ob_create_user(data);
    }
    if (ok)
        settle(object, data);
}

void permit(QueryObject *object, int, int *result)
{
    *result = !obdict_ob_i_have_dbpriv(DBPRIV_DBA) || !wsdict_db_exclusive ? 1 : 0;
    if (*result && object && !(object->flags & OB_FLAG_WARNED)) {
        object->flags |= OB_FLAG_WARNED;
        obbox_warning(OB_USERS_NEED_DBA);
    }
}

}  // namespace

void obuser_initialise_user_object()
{
    obmain_set_class(OB_USER, 18, 0, 0, 0, 1, 0, 0, 0, 0x17f00);
    obview_install_user();
    ObClass &c = obmain_object_class[OB_USER];
    c.del = del;
    c.edit = edit;
    c.permit = permit;
}
