// The Help commands of both windows.

#include "dlmess.h"
#include "menumsgs.h"
#include "mnmisc.h"
#include "mnqy.h"
#include "qymgr.h"
#include "vxhelp.h"

#include <cstdio>

// The program's own revision, as the revision box shows it.
static constexpr double program_revision = 5.3;

static DlLtpValue ltp_dval;
static char revision_texts[4][32];

static void revision_done(DialogRecord *, int *done) { *done = 1; }

void mnqhlp_on_revision(Widget w)
{
    snprintf(revision_texts[0], sizeof revision_texts[0], "%4.2f", program_revision);
    snprintf(revision_texts[1], sizeof revision_texts[1], "%4.2f",
             static_cast<double>(qymgr_qy_server_revision()));
    snprintf(revision_texts[2], sizeof revision_texts[2], "%d", 2);
    snprintf(revision_texts[3], sizeof revision_texts[3], "%d", 1);
    ltp_dval.catd = mnbld_mn_nlsfd;
    ltp_dval.set = MN_REVISION_PROGRAM.set;
    ltp_dval.numbers[0] = MN_REVISION_PROGRAM.number;
    ltp_dval.numbers[1] = MN_REVISION_SERVER.number;
    ltp_dval.numbers[2] = MN_REVISION_INTERFACE.number;
    ltp_dval.numbers[3] = MN_REVISION_PROTOCOL.number;
    for (int i = 0; i < 4; i++)
        ltp_dval.args[i] = revision_texts[i];
    if (!mnmisc_dialog_available(5)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(5, nullptr, revision_done);
    DialogRecord *rec = &dlmain_dialogs[5];
    rec->setval(rec, &ltp_dval);
    mnmisc_mn_popup_dialog(nullptr, 5, 4);
}

void mnqhlp_on_item(Widget w) { ItemHelp(w); }

void mnqhlp_on_topic(Widget w) { ApplHelp(w); }
