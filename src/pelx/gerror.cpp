// Library entry and the error registry.

#include "pelx.h"
#include "pelx_msgs.h"
#include "vxcat.h"
#include "vxutil.h"

#include <cstring>
#include <string>

namespace {

struct Registry {
    int16_t type = 0;
    int16_t number = 0;
    char parameter[256] = "";
    nl_catd catalogue = NL_NO_CATALOGUE;
    bool open = false;
    bool logging = true;
};
Registry reg;

bool initialised = false;
std::string library_directory;

std::string compose_line()
{
    if (!reg.open)
        return vx_msgf(NL_NO_CATALOGUE, PELX_ERROR_NOCAT, reg.type, reg.number);
    char name[65], text[257];
    gnls_Gcatgetmsg(reg.catalogue, 1, reg.type, name, 64);
    gnls_Gcatgetmsg(reg.catalogue, reg.type, reg.number, text, 256);
    return vx_msgf(reg.catalogue, PELX_ERROR_LINE, name, text, reg.type, reg.number);
}

}  // namespace

nl_catd gerror_GCatalogue() { return reg.open ? reg.catalogue : NL_NO_CATALOGUE; }

void *gnls_Gcatopen(const char *path) { return nl_catopen(path, 0); }

void gnls_Gcatclose(void *handle) { nl_catclose(static_cast<nl_catd>(handle)); }

char *gnls_Gcatgetmsg(void *handle, int set, int number, char *buf, int length)
{
    if (length < 0)
        length = 0;
    safe_strcpy(buf, nl_catgets(static_cast<nl_catd>(handle), set, number), static_cast<size_t>(length));
    return buf;
}

int gerror_GInitialiseErrors(const char *catalogue_path)
{
    nl_catd cd = static_cast<nl_catd>(gnls_Gcatopen(catalogue_path));
    reg.catalogue = cd;
    reg.open = cd != NL_NO_CATALOGUE;
    if (!reg.open) {
        GLogError(vx_msgf(NL_NO_CATALOGUE, PELX_NO_CATALOGUE).c_str(), nullptr);
        return -1;
    }
    return 0;
}

void gerror_GTerminateErrors()
{
    if (reg.open)
        gnls_Gcatclose(reg.catalogue);
    reg.catalogue = NL_NO_CATALOGUE;
    reg.open = false;
}

int gerror_GRegisterError(int type, int number, int, const char *parameter)
{
    reg.type = static_cast<int16_t>(type);
    reg.number = static_cast<int16_t>(number);
    // A longer parameter is cut to the field.
    safe_strcpy(reg.parameter, parameter ? parameter : "", sizeof reg.parameter - 1);
    GLogError(compose_line().c_str(), reg.parameter);
    return 0;
}

long GGetError() { return (static_cast<long>(reg.type) << 16) | (reg.number & 0xFFFF); }

char *GGetErrorMessage(char *buf, size_t size)
{
    if (!buf || size == 0)
        return nullptr;
    if (!reg.open) {
        buf[0] = '\0';
        return nullptr;
    }
    safe_strcpy(buf, compose_line().c_str(), size - 1);
    return buf;
}

void GLogError(const char *line, const char *parameter)
{
    if (!reg.logging)
        return;
    fputs(line ? line : "", stderr);
    if (parameter && *parameter)
        fputs(vx_msgf(gerror_GCatalogue(), PELX_PARAM_LINE, parameter).c_str(), stderr);
    fflush(stderr);
}

const char *gerror_GLibraryDirectory() { return library_directory.c_str(); }

int GInitialise(const char *directory, const char *config_file, const char *catalogue_path,
                const char *database_path)
{
    if (initialised)
        return -1;
    std::string dir = directory ? directory : "";
    if (!dir.empty() && dir.back() == '/')
        dir.pop_back();
    library_directory = dir;
    int r1 = gerror_GInitialiseErrors(catalogue_path);
    int r2 = gconfig_GReadConfiguration(dir.c_str(), config_file, database_path);
    if ((r1 | r2) != 0)
        return -1;
    initialised = true;
    return 0;
}

void GTerminate()
{
    gcolour_GDestroyColourTable(nullptr);
    gdev_GDestroyDeviceTable();
    gfont_GDestroyFontTable(nullptr);
    ghatch_GDestroyHatchTable(nullptr);
    glines_GDestroyLineTable(nullptr);
    gmarker_GDestroyMarkerTable(nullptr);
    gcolmap_GDestroyColourMapTable(nullptr);
    gcolour_GCloseColourDatabase();
    gerror_GTerminateErrors();
    // A later GInitialise starts afresh.
    initialised = false;
}

int GHandleResizeEvent() { return -1; }

int GEscape() { return 0; }
