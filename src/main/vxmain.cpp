// main(): options and resources, identity, fonts, catalogue, main loop.

#include "vxmain.h"

#include "mainmsgs.h"
#include "startup.h"
#include "vxcat.h"
#include "vxutil.h"

#include <Xm/Xm.h>
#include <X11/StringDefs.h>

#include <climits>
#include <clocale>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <unistd.h>

Widget toplevel = nullptr;
AppData adata;
bool is_tty = false;

static XtIntervalId idle_timer = 0;

// ---- option and resource tables ------------------------------------------

XrmOptionDescRec options[] = {
    {const_cast<char *>("-server"), const_cast<char *>(".server"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-host"), const_cast<char *>(".server"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-user"), const_cast<char *>(".user"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-database"), const_cast<char *>(".database"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-password"), const_cast<char *>(".password"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-passwordfile"), const_cast<char *>(".passwordfile"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-timeout"), const_cast<char *>(".timeout"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-procedure"), const_cast<char *>(".procedure"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-buffersize"), const_cast<char *>(".queryBufferSize"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-tsl"), const_cast<char *>(".runMode"), XrmoptionNoArg, const_cast<char *>("2")},
    {const_cast<char *>("-tsledit"), const_cast<char *>(".runMode"), XrmoptionNoArg, const_cast<char *>("3")},
    {const_cast<char *>("-tslnomenu"), const_cast<char *>(".runMode"), XrmoptionNoArg, const_cast<char *>("5")},
    {const_cast<char *>("-tslnowin"), const_cast<char *>(".runMode"), XrmoptionNoArg, const_cast<char *>("6")},
    {const_cast<char *>("-debug"), const_cast<char *>(".debugMode"), XrmoptionNoArg, const_cast<char *>("True")},
    {const_cast<char *>("-help"), const_cast<char *>(".runMode"), XrmoptionNoArg, const_cast<char *>("-1")},
    {const_cast<char *>("-shared"), const_cast<char *>(".databaseMode"), XrmoptionNoArg, const_cast<char *>("0")},
    {const_cast<char *>("-exclusive"), const_cast<char *>(".databaseMode"), XrmoptionNoArg, const_cast<char *>("1")},
    {const_cast<char *>("-noresize"), const_cast<char *>(".noResize"), XrmoptionNoArg, const_cast<char *>("1")},
    {const_cast<char *>("-nomap"), const_cast<char *>(".nomap"), XrmoptionNoArg, const_cast<char *>("1")},
    {const_cast<char *>("-displayname"), const_cast<char *>(".displayName"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-displayid"), const_cast<char *>(".displayId"), XrmoptionSepArg, nullptr},
    {const_cast<char *>("-forced"), const_cast<char *>(".databaseMode"), XrmoptionNoArg, const_cast<char *>("2")},
    {const_cast<char *>("-version"), const_cast<char *>(".version"), XrmoptionNoArg, const_cast<char *>("True")},
    {const_cast<char *>("-nochangepass"), const_cast<char *>(".nochangepass"), XrmoptionNoArg,
     const_cast<char *>("True")},
};
const int options_count = static_cast<int>(XtNumber(options));

static XrmOptionDescRec classopt[] = {
    {const_cast<char *>("-class"), const_cast<char *>(".class"), XrmoptionSepArg, nullptr},
};

static XtPointer def(const char *value) { return reinterpret_cast<XtPointer>(const_cast<char *>(value)); }
static XtPointer def(std::nullptr_t) { return nullptr; }

#define RES(name, cls, type, field, dtype, dval)                                                                \
    {const_cast<char *>(name), const_cast<char *>(cls), const_cast<char *>(type), sizeof(AppData::field),       \
     static_cast<Cardinal>(offsetof(AppData, field)), const_cast<char *>(dtype), def(dval)}
#define RES_FONT(name, field, dval) RES(name, XmCFontList, XmRFontList, field, XtRString, dval)
#define RES_STR(name, cls, field) RES(name, cls, XtRString, field, XtRString, nullptr)
#define RES_INT(name, field, dval) RES(name, "Integer", XtRInt, field, XtRString, dval)
#define RES_BOOL(name, field, dval) RES(name, XtCBoolean, XtRBoolean, field, XtRString, dval)

XtResource resources[] = {
    RES_FONT("titleFont", titleFont, "variable"),
    RES_FONT("labelFont", labelFont, "variable"),
    RES_FONT("dataFont", dataFont, "fixed"),
    RES_FONT("buttonFont", buttonFont, "variable"),
    RES_FONT("textFont", textFont, "fixed"),
    RES_FONT("detailFont", detailFont, "fixed"),
    RES_FONT("menuFont", menuFont, "variable"),
    RES_FONT("userFont", userFont, nullptr),
    RES_FONT("systemFont", systemFont, nullptr),
    RES_STR("titleFontset", "Command", titleFontset),
    RES_STR("labelFontset", "fontset", labelFontset),
    RES_STR("dataFontset", "fontset", dataFontset),
    RES_STR("buttonFontset", "fontset", buttonFontset),
    RES_STR("textFontset", "fontset", textFontset),
    RES_STR("detailFontset", "fontset", detailFontset),
    RES_STR("menuFontset", "fontset", menuFontset),
    RES_STR("dateOutputFormat", "dateFormat", dateOutputFormat),
    RES_STR("dateInputFormat", "dateFormat", dateInputFormat),
    RES_STR("timeOutputFormat", "Format", timeOutputFormat),
    RES_STR("complexOutputFormat", "Format", complexOutputFormat),
    RES_STR("plainPrintCommand", "Command", plainPrintCommand),
    RES_STR("psPrintCommand", "Command", psPrintCommand),
    RES_STR("graphPrintCommand", "Command", graphPrintCommand),
    RES_STR("graphPlotCommand", "Command", graphPlotCommand),
    RES_STR("graphPclCommand", "Command", graphPclCommand),
    RES_STR("userToolCommand", "Command", userToolCommand),
    RES_STR("pelxConfigFile", "File", pelxConfigFile),
    RES_STR("userToolIcon", "Icon", userToolIcon),
    RES_STR("userMenuDefinition1", "MenuDefinition", userMenuDefinition1),
    RES_STR("userMenuDefinition2", "MenuDefinition", userMenuDefinition2),
    RES_STR("userMenuDefinition3", "MenuDefinition", userMenuDefinition3),
    RES_STR("userMenuDefinition4", "MenuDefinition", userMenuDefinition4),
    RES_STR("server", "Server", server),
    RES_STR("user", "User", user),
    RES_STR("database", "Database", database),
    RES_STR("password", "Password", password),
    RES_STR("passwordfile", "Passwordfile", passwordfile),
    RES_STR("procedure", "Procedure", procedure),
    RES_STR("displayName", "DisplayName", displayName),
    RES_STR("displayId", "DisplayId", displayId),
    RES_STR("class", "Class", className),
    RES_INT("singleClickInterval", singleClickInterval, "200"),
    RES_INT("doubleClickInterval", doubleClickInterval, "300"),
    RES_INT("tableXGap", tableXGap, "40"),
    RES_INT("tableYGap", tableYGap, "60"),
    RES_INT("tableXExtra", tableXExtra, "100"),
    RES_INT("displayBufferSize", displayBufferSize, "100"),
    RES_INT("displayCheckStopLines", displayCheckStopLines, "0"),
    RES_INT("printerPageLength", printerPageLength, "60"),
    RES_INT("printerPageWidth", printerPageWidth, "78"),
    RES_INT("useEditorThreshold", useEditorThreshold, "60"),
    RES_INT("percentagePan", percentagePan, "100"),
    RES_INT("julianStartDay", julianStartDay, "0"),
    RES_INT("timeout", timeout, "-1"),
    RES_INT("queryBufferSize", queryBufferSize, "200000"),
    RES_INT("runMode", runMode, "0"),
    RES_INT("databaseMode", databaseMode, "0"),
    RES_INT("noResize", noResize, "0"),
    RES_INT("nomap", nomap, "0"),
    RES_INT("maxTickPixel", maxTickPixel, "20"),
    RES_BOOL("useVueFonts", useVueFonts, "False"),
    RES_BOOL("initialShowTableInfo", initialShowTableInfo, "False"),
    RES_BOOL("initialShowSystemTables", initialShowSystemTables, "False"),
    RES_BOOL("initialShowIndexInfo", initialShowIndexInfo, "False"),
    RES_BOOL("usePrivateColourmap", usePrivateColourmap, "False"),
    RES_BOOL("relaxedConfirmation", relaxedConfirmation, "False"),
    RES_BOOL("printArraysInColumns", printArraysInColumns, "False"),
    RES_BOOL("skipTextEvalErrors", skipTextEvalErrors, "False"),
    RES_BOOL("resourcesLoaded", resourcesLoaded, "False"),
    RES_BOOL("disableWMClose", disableWMClose, "False"),
    RES_BOOL("qualifyColumnNames", qualifyColumnNames, "False"),
    RES_BOOL("disableTooltips", disableTooltips, "False"),
    RES_BOOL("debugMode", debugMode, "False"),
    RES_BOOL("version", version, "False"),
    RES_BOOL("nochangepass", nochangepass, "False"),
    RES_BOOL("initialShowSampleData", initialShowSampleData, "True"),
    RES_BOOL("warpOnToolDrag", warpOnToolDrag, "True"),
    RES_BOOL("initialValidateQuery", initialValidateQuery, "True"),
    RES_BOOL("autoUpgradeColourmap", autoUpgradeColourmap, "True"),
    RES_BOOL("allowColourmap", allowColourmap, "True"),
    RES("tableColor", XtCColor, XtRPixel, tableColor, XtRString, "Black"),
    RES("graphBackgroundColor", XtCColor, XtRPixel, graphBackgroundColor, XtRString, "Black"),
    RES("xferCheckStopInterval", "XferCheckStopInterval", XtRFloat, xferCheckStopInterval, XtRString, "1.0"),
};
const int resources_count = static_cast<int>(XtNumber(resources));
static_assert(XtNumber(resources) == 83, "the program reads 83 application resources");
static_assert(XtNumber(options) == 24, "the program takes 24 options");

// ---- usage and version ---------------------------------------------------

// Printed before any catalogue can be open, so these texts live here.
static const char *const usage_lines[] = {
    "Vostrelane understands all standard X arguments.\n",
    "The following options are also available:\n\n",
    "    -server     The DOZ database server.\n",
    "    -user       The Orvanta database user name.\n",
    "    -database   The database to open at start-up.\n",
    "    -shared     Open the database for shared use.\n",
    "    -exclusive  Open the database for exclusive use.\n",
    "    -forced     Force the database open.\n",
    "    -buffersize The size of the query result buffer in bytes.\n",
    "    -procedure  Run this procedure at start-up.\n",
    "                A database must also be specified.\n",
    "    -tsl        Run as a TSL display server.\n",
    "    -tsledit    Run as a TSL display server whose graphs can\n",
    "                be editted.\n",
    "    -tslnomenu  Run as a TSL display server without menus.\n",
    "    -tslnowin   Run as a TSL display server that draws into\n",
    "                its client's window.\n",
    "    -debug      Print the queries and messages for debugging.\n",
    "    -password   Orvanta database password.\n",
    "    -passwordfile Read the database password from this file.\n",
    "    -timeout    Set the Vostrelane idle timeout in minutes.\n",
    "    -nochangepass Do not offer to change an expired password.\n",
    "    -help       Displays this text.\n",
};

void show_usage(bool error)
{
    if (error)
        fputs("Vostrelane: usage error\n\n", stderr);
    for (const char *line : usage_lines)
        fputs(line, stderr);
}

const char *get_state(char letter)
{
    switch (letter) {
    case 'A': case 'a': return "Development testing";
    case 'B': case 'b': return "Functional testing";
    case 'D': case 'd': return "Development";
    case 'R': case 'r': return "Released product";
    default: return "Invalid state";
    }
}

std::string get_version(const char *ident)
{
    char copy[256];
    safe_strcpy(copy, ident, sizeof copy - 1);
    strupper(copy, copy);
    char product[256], branch[256], state[256], checkpoint[256];
    int major, minor, patch;
    char out[1200];
    if (sscanf(copy, "%255[^_]_%255[^_]_%255[DABRdabr]%d.%d.%d.%255[^:]", product, branch, state, &major, &minor,
               &patch, checkpoint) == 7) {
        snprintf(out, sizeof out, "%s (%s branch) Version %d.%d Patch %d (Checkpoint: %s, State: %s)", product,
                 branch, major, minor, patch, checkpoint, get_state(state[0]));
    } else if (sscanf(copy, "%255[^_]_%255[DABRdabr]%d.%d.%d.%255[^:]", product, state, &major, &minor, &patch,
                      checkpoint) == 6) {
        snprintf(out, sizeof out, "%s Version %d.%d Patch %d (Checkpoint: %s, State: %s)", product, major, minor,
                 patch, checkpoint, get_state(state[0]));
    } else {
        snprintf(out, sizeof out, "Cannot parse version string '%s'", ident);
    }
    return out;
}

const char vx_build_ident[] = "vx_r5.3.6.0.1:cset.001111:22:33";

static void print_version()
{
    fputs("Vostrelane for ", stderr);
    fputs("Orvanta 5.3\n", stderr);
    fputs("Copyright the Vostrelane developers. All rights reserved.\n", stderr);
    fprintf(stderr, "\nCompiled on: %s\n         by: %s\n         on: %s\n", VX_BUILD_DATE, VX_BUILD_USER,
            VX_BUILD_HOST);
    fprintf(stderr, "%s\n", get_version(vx_build_ident).c_str());
}

// ---- requests answered before the display -------------------------------

int early_request(int argc, char **argv)
{
    // The toolkit's own options that take a value: their values are
    // passed over, so "-title -help" names a title.
    static XrmOptionDescRec table[24 + 20];
    static int count = 0;
    if (count == 0) {
        for (int i = 0; i < options_count; i++)
            table[count++] = options[i];
        static const char *const with_value[] = {"-bd", "-bordercolor", "-bg", "-background", "-bw",
                                                 "-borderwidth", "-display", "-fg", "-foreground", "-fn",
                                                 "-font", "-geometry", "-name", "-selectionTimeout", "-title",
                                                 "-xnllanguage", "-xrm", "-xtsessionID", "-class"};
        for (const char *o : with_value)
            table[count++] = {const_cast<char *>(o), nullptr, XrmoptionSkipArg, nullptr};
    }
    static_assert(XtNumber(options) + 19 <= XtNumber(table));
    std::vector<char *> copy(argv, argv + argc);
    copy.push_back(nullptr);
    int n = argc;
    XrmInitialize();
    XrmDatabase db = nullptr;
    XrmParseCommand(&db, table, count, "vostrelane", &n, copy.data());
    if (!db)
        return 0;
    int request = 0;
    char *type = nullptr;
    XrmValue value;
    if (XrmGetResource(db, "vostrelane.version", "Vostrelane.Version", &type, &value) && value.addr)
        request = 1;
    else if (XrmGetResource(db, "vostrelane.runMode", "Vostrelane.RunMode", &type, &value) && value.addr &&
             strcmp(value.addr, "-1") == 0)
        request = 2;
    XrmDestroyDatabase(db);
    return request;
}

// ---- ranges of the numeric resources -------------------------------------

// Where the resource itself gives no bound, the bound is what the code
// built on it can hold: buffers it allocates, intervals it multiplies,
// pixels on a canvas of at most 32767.
const ResourceRange resource_ranges[] = {
    {"singleClickInterval", &AppData::singleClickInterval, 1, 60000, 200},
    {"doubleClickInterval", &AppData::doubleClickInterval, 1, 60000, 300},
    {"tableXGap", &AppData::tableXGap, 0, 10000, 40},
    {"tableYGap", &AppData::tableYGap, 0, 10000, 60},
    {"tableXExtra", &AppData::tableXExtra, 0, 10000, 100},
    {"displayBufferSize", &AppData::displayBufferSize, 1, 100000, 100},
    // Below 1: polled every window of rows.
    {"displayCheckStopLines", &AppData::displayCheckStopLines, INT_MIN, 1000000, 0},
    {"printerPageLength", &AppData::printerPageLength, 0, 100000, 60},
    {"printerPageWidth", &AppData::printerPageWidth, 1, 100000, 78},
    {"useEditorThreshold", &AppData::useEditorThreshold, 0, 100000, 60},
    {"percentagePan", &AppData::percentagePan, 1, 1000, 100},
    {"julianStartDay", &AppData::julianStartDay, -1000000, 1000000, 0},
    // Minutes; -1 arms no timer.
    {"timeout", &AppData::timeout, -1, 525600, -1},
    {"queryBufferSize", &AppData::queryBufferSize, 1024, 256 * 1024 * 1024, 200000},
    {"runMode", &AppData::runMode, 0, 6, 0},
    {"databaseMode", &AppData::databaseMode, 0, 2, 0},
    {"noResize", &AppData::noResize, 0, 1, 0},
    {"nomap", &AppData::nomap, 0, 1, 0},
    // 0 or below: the default length.
    {"maxTickPixel", &AppData::maxTickPixel, INT_MIN, 1000, 20},
};
const int resource_ranges_count = static_cast<int>(XtNumber(resource_ranges));

std::vector<RangeFinding> check_resource_ranges(AppData &data)
{
    std::vector<RangeFinding> found;
    for (const ResourceRange &r : resource_ranges) {
        int &value = data.*r.field;
        if (value >= r.min && value <= r.max)
            continue;
        found.push_back({r.name, std::to_string(value), std::to_string(r.min), std::to_string(r.max),
                         std::to_string(r.fallback)});
        value = r.fallback;
    }
    // Seconds between looks at Stop during a transfer.
    const float interval = data.xferCheckStopInterval;
    if (!(interval >= 0.01f && interval <= 3600.0f)) {
        char text[64];
        snprintf(text, sizeof text, "%g", static_cast<double>(interval));
        found.push_back({"xferCheckStopInterval", text, "0.01", "3600", "1"});
        data.xferCheckStopInterval = 1.0f;
    }
    return found;
}

std::string range_warning(const RangeFinding &f, nl_catd catd)
{
    return vx_msgf(catd, MAIN_RESOURCE_OUT_OF_RANGE, f.name.c_str(), f.value.c_str(), f.min.c_str(), f.max.c_str(),
                   f.fallback.c_str());
}

// ---- class name, locale, fonts -------------------------------------------

void get_class_name(int *argc, char **argv, char *class_buffer)
{
    strcpy(class_buffer, "Vostrelane");
    XrmInitialize();
    XrmDatabase db = nullptr;
    XrmParseCommand(&db, classopt, 1, "vostrelane", argc, argv);
    if (!db)
        return;
    char *type = nullptr;
    XrmValue value;
    if (XrmGetResource(db, "vostrelane.class", "Vostrelane.Class", &type, &value) && value.addr &&
        strlen(value.addr) <= 99)
        strcpy(class_buffer, value.addr);
    XrmDestroyDatabase(db);
}

void initialise_nls_environment()
{
    setlocale(LC_ALL, "");
    XtSetLanguageProc(nullptr, nullptr, nullptr);
}

Boolean cvt_str_to_fontlist(Display *dpy, XrmValue *args, Cardinal *nargs, XrmValue *from, XrmValue *to,
                            XtPointer *)
{
    if (*nargs != 0)
        XtWarningMsg(const_cast<char *>("wrongParameters"), const_cast<char *>("cvtStringToFontlist"),
                     const_cast<char *>("XtToolkitError"),
                     const_cast<char *>("String to Fontlist conversion does not want arguments!"), nullptr,
                     nullptr);
    (void)args;
    const char *name = static_cast<const char *>(static_cast<void *>(from->addr));
    XFontStruct *font = name ? XLoadQueryFont(dpy, name) : nullptr;
    if (!font) {
        XtDisplayStringConversionWarning(dpy, const_cast<char *>(name ? name : ""), const_cast<char *>(XmRFontList));
        return False;
    }
    XmFontList list = XmFontListCreate(font, const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
    if (to->addr) {
        if (to->size < sizeof(XmFontList)) {
            to->size = sizeof(XmFontList);
            return False;
        }
        *reinterpret_cast<XmFontList *>(to->addr) = list;
    } else {
        static XmFontList result;
        result = list;
        to->addr = reinterpret_cast<XPointer>(&result);
    }
    to->size = sizeof(XmFontList);
    return True;
}

void set_other_fonts()
{
    if (adata.useVueFonts) {
        if (adata.userFont)
            adata.dataFont = adata.textFont = adata.detailFont = adata.userFont;
        if (adata.systemFont)
            adata.titleFont = adata.labelFont = adata.buttonFont = adata.menuFont = adata.systemFont;
    }
    struct Role {
        const char *word;
        const char *tag;
        String *base_names;
        XmFontList *font;
    } roles[] = {
        {"title", "titleFontset", &adata.titleFontset, &adata.titleFont},
        {"label", "labelFontset", &adata.labelFontset, &adata.labelFont},
        {"data", "dataFontset", &adata.dataFontset, &adata.dataFont},
        {"button", "buttonFontset", &adata.buttonFontset, &adata.buttonFont},
        {"text", "textFontset", &adata.textFontset, &adata.textFont},
        {"detail", "detailFontset", &adata.detailFontset, &adata.detailFont},
        {"menu", "menuFontset", &adata.menuFontset, &adata.menuFont},
    };
    Display *dpy = XtDisplay(toplevel);
    for (auto &r : roles) {
        if (!*r.base_names)
            continue;
        char **missing = nullptr;
        int nmissing = 0;
        char *def_string = nullptr;
        XFontSet fs = XCreateFontSet(dpy, *r.base_names, &missing, &nmissing, &def_string);
        if (!fs) {
            fprintf(stderr, "Error: cannot resolve %s fontset fonts\n", r.word);
            exit(1);
        }
        XmFontListEntry entry = XmFontListEntryCreate(const_cast<char *>(r.tag), XmFONT_IS_FONTSET, fs);
        XmFontList list = XmFontListAppendEntry(nullptr, entry);
        // The font lists the resources made are the toolkit's cached
        // conversions; only lists made here are ours to free.
        *r.font = list;
        XmFontListEntryFree(&entry);
        if (nmissing > 0) {
            fprintf(stderr, "Warning: %d font(s) unresolved in %s fontset.\n", nmissing, r.word);
            for (int i = nmissing - 1; i >= 0; i--)
                fprintf(stderr, "\t%s not found!\n", missing[i]);
        }
        if (missing)
            XFreeStringList(missing);
    }
}

// ---- identity -------------------------------------------------------------

Resolution resolve_identity(const char *server_res, const char *user_res, const char *password_res)
{
    Resolution r;
    r.password_set = password_res != nullptr;
    if (password_res)
        r.password = password_res;
    const char *env;
    if (server_res)
        r.server = server_res;
    else if ((env = getenv("QYHOST")))
        r.server = env;
    if (user_res) {
        std::string u = user_res;
        strupper(u.data(), u.data());
        r.user = u;
    } else if ((env = getenv("QYUSER"))) {
        r.user = env;
    } else {
        r.user = "BRASK";
        r.password = "BRASK";
        r.password_set = true;
    }
    r.install_dir = vx_client_dir();
    return r;
}

// ---- main ----------------------------------------------------------------

static void on_idle_timeout(XtPointer, XtIntervalId *)
{
    idle_timer = 0;
    on_timer_exit();
}

void arm_idle_timer()
{
    // Below -1 arms nothing: the minutes would wrap into any interval.
    if (adata.timeout < 0)
        return;
    if (idle_timer)
        XtRemoveTimeOut(idle_timer);
    idle_timer = XtAddTimeOut(static_cast<unsigned long>(adata.timeout) * 60000ul, on_idle_timeout, nullptr);
}

int vx_main(int argc, char **argv)
{
    // The launcher starts the program as "vostrelane.bin": the toolkit takes
    // the name of its resources from that, and they are "vostrelane".
    static std::string instance;
    if (argc > 0 && argv[0]) {
        const std::string_view called(argv[0]);
        const std::string_view suffix = "vostrelane.bin";
        if (called.size() >= suffix.size() && called.substr(called.size() - suffix.size()) == suffix &&
            (called.size() == suffix.size() || called[called.size() - suffix.size() - 1] == '/')) {
            instance.assign(called.substr(0, called.size() - 4));
            argv[0] = instance.data();
        }
    }
    // The banner and the usage text need no display.
    switch (early_request(argc, argv)) {
    case 1:
        print_version();
        exit(0);
    case 2:
        show_usage(false);
        exit(1);
    default: break;
    }
    // 1. Time zone.
    if (const char *tz = getenv("DOZ_CLIENT_TIMEZONE")) {
        setenv("TZ", tz, 1);
        tzset();
    }
    // 2. Locale.
    initialise_nls_environment();
    // 3. Class, shell and resources.
    char class_name[100];
    get_class_name(&argc, argv, class_name);
    toplevel = XtInitialize(const_cast<char *>("queryShell"), class_name, options, options_count, &argc, argv);
    XtSetTypeConverter(XmRString, XmRFontList, cvt_str_to_fontlist, nullptr, 0, XtCacheNone, nullptr);
    Boolean iconic = False;
    XtVaGetValues(toplevel, XtNiconic, &iconic, nullptr);
    memset(&adata, 0, sizeof adata);
    XtGetApplicationResources(toplevel, &adata, resources, static_cast<Cardinal>(resources_count), nullptr, 0);
    adata.catd = NL_NO_CATALOGUE;

    // 4-7. Version, help, application defaults, command line.
    if (adata.version) {
        print_version();
        exit(0);
    }
    if (adata.runMode == RUN_USAGE) {
        show_usage(false);
        exit(1);
    }
    if (!adata.resourcesLoaded) {
        fputs("Vostrelane. Application defaults file was not loaded.\n", stderr);
        exit(1);
    }
    // Values no code can work with go back to their defaults (told once
    // the catalogue is open).
    const std::vector<RangeFinding> out_of_range = check_resource_ranges(adata);
    bool bad = argc > 1 || (adata.procedure && !adata.database);
    if (adata.procedure)
        adata.runMode = RUN_CONNECTED;
    if (bad) {
        show_usage(true);
        exit(1);
    }

    // 8. Server, user, installation directory.
    Resolution id = resolve_identity(adata.server, adata.user, adata.password);
    adata.server = XtNewString(id.server.c_str());
    adata.user = XtNewString(id.user.c_str());
    if (id.password_set)
        adata.password = XtNewString(id.password.c_str());

    // 9. Leading fields.
    is_tty = adata.runMode == RUN_INTERACTIVE && isatty(STDOUT_FILENO);
    adata.user_name = adata.user;
    adata.server_name = adata.server;
    adata.buffer_size = adata.queryBufferSize;
    adata.install_dir = XtNewString(id.install_dir.c_str());

    // 10. Font sets.
    set_other_fonts();

    // 11. Catalogue.
    int status;
    adata.catd = open_msg_catalogue(adata.install_dir, "vostrelane", &status);
    if (adata.catd == NL_NO_CATALOGUE) {
        fputs("Vostrelane. Failed to open message catalogue for $LANG and C\n", stderr);
        exit(1);
    }
    for (const RangeFinding &f : out_of_range)
        fputs(range_warning(f, adata.catd).c_str(), stderr);

    // 12. The start-up sequence.
    startup_sequence(iconic);

    // 13. The loop: the idle time-out measures time since the last event.
    XEvent event;
    for (;;) {
        XtNextEvent(&event);
        XtDispatchEvent(&event);
        if (adata.timeout >= 0)
            arm_idle_timer();
    }
}
