// Transfer requests: an action, not an object.  Create runs the load or
// unload of the request and keeps nothing; validate asks for the privilege
// the transfer needs and has the interpreter check an unload's WHERE text
// before any file is opened; permit asks for the privilege to read; newval
// keeps the request of the previous transfer and only takes the table name
// afresh.  The first request unloads rows that load back: "," between the
// fields and a line feed after each row.

#include "obbox.h"
#include "obcheck.h"
#include "obdict.h"
#include "obie.h"
#include "obmain.h"
#include "obrowmsgs.h"
#include "obtab.h"
#include "vxutil.h"

namespace {

ObTransferData transfer_value{};
bool defaults_filled = false;

void transfer_create(QueryObject **result, void *kind_data, int, int, QueryObject *)
{
    if (result)
        *result = nullptr;
    // No kind data: the dialog was dismissed.
    if (kind_data)
        obie_ob_perform_transfer(static_cast<const ObTransferData *>(kind_data));
}

void transfer_validate(void *kind_data, int, int *result)
{
    const auto *t = static_cast<const ObTransferData *>(kind_data);
    int allowed = 0;
    if (t) {
        // Only a load reads the overwrite switch.
        int level = PRIV_READ;
        if (t->direction != XFER_UNLOAD)
            level = t->overwrite ? PRIV_WRITE : PRIV_APPEND;
        allowed = obdict_ob_i_may(level, t->table);
    }
    if (!allowed) {
        obbox_error(OB_TRANSFER_REFUSED);
    } else if (t->direction == XFER_UNLOAD && t->use_where && t->where[0]) {
        // A text the interpreter refuses would stop the unload only after
        // its file had been emptied.
        char text[sizeof t->where];
        safe_strcpy(text, t->where, sizeof text - 1);
        if (!obcheck_checks().condition(text)) {
            allowed = 0;
            obcheck_error(OB_BAD_CONDITION);
        }
    }
    if (result)
        *result = allowed;
}

void transfer_permit(QueryObject *object, int, int *result)
{
    const char *table = obtab_table_name_of(object);
    const bool allowed = obdict_ob_i_may(PRIV_READ, table) != 0;
    if (!allowed)
        obbox_error(OB_TRANSFER_REFUSED);
    if (result)
        *result = allowed ? 0 : 2;
}

void transfer_newval(void **value, QueryObject *object)
{
    if (!defaults_filled) {
        xfer_default_request(&transfer_value);
        safe_strcpy(transfer_value.delimiter, ",", sizeof transfer_value.delimiter - 1);
        transfer_value.terminator = XFER_LF;
        defaults_filled = true;
    }
    safe_strcpy(transfer_value.table, obtab_table_name_of(object), sizeof transfer_value.table - 1);
    if (value)
        *value = &transfer_value;
}

}  // namespace

void obxfer_initialise_transfer_object()
{
    obmain_set_class(OB_TRANSFER, 22, 0, 0, 0, 0, 0, 0, 0, 0);
    ObClass &c = obmain_object_class[OB_TRANSFER];
    c.create = transfer_create;
    c.validate = transfer_validate;
    c.permit = transfer_permit;
    c.newval = transfer_newval;
}
