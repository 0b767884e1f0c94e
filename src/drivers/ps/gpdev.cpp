// The PostScript driver's device: defaults and modes, the document's
// header, prolog, set-up and placement, and its end.

#include "gpdriver.h"
#include "ghout.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

// The fields this driver takes from a modes record, by mask.
constexpr uint64_t PS_MODES = GDM_DCXDIM | GDM_DCYDIM | GDM_UCXDIM | GDM_UCYDIM | GDM_DCXPOS | GDM_DCYPOS |
                              GDM_BGCOLOUR | GDM_COLOURMAP | GDM_LANDSCAPE | GDM_OUTPUT | GDM_FILLPAGE |
                              GDM_SPOOLCMD | GDM_FILENAME | GDM_PROLOG | GDM_EPILOG | GDM_DRIVERFLAG | GDM_CENTRE;

constexpr int PROLOG_REVISION = 2;

std::string user_name()
{
    if (const passwd *pw = getpwuid(geteuid()))
        if (pw->pw_name && *pw->pw_name)
            return pw->pw_name;
    const char *u = getenv("USER");
    return u && *u ? u : "unknown";
}

// A font name as a PostScript name: characters that would end the name
// become "_".
std::string ps_name(const char *name)
{
    std::string s = name ? name : "";
    for (char &ch : s) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u <= 32 || u >= 127 || strchr("()<>[]{}/%", ch))
            ch = '_';
    }
    return s;
}

GList *font_table(GDeviceRecord *d)
{
    return d->tables[GT_FONTS] ? d->tables[GT_FONTS] : gfont_GGetDefaultFontTable();
}

// Device fonts (no stroke characters) that have a name, as PostScript names.
template <class F>
void each_device_font(GDeviceRecord *d, F f)
{
    GList *t = font_table(d);
    long n = glist_GGetListLen(t);
    for (long i = 0; i < n; i++) {
        const GFont *font = gfont_GGetFont(t, i);
        if (font && !font->glyphs && font->name && *font->name)
            f(ps_name(font->name));
    }
}

// The prolog's path: a relative one is taken in the configuration
// directory.
std::string prolog_path(const GDeviceModes &m)
{
    std::string p = m.prolog;
    const char *dir = gerror_GLibraryDirectory();
    if (!p.empty() && p[0] != '/' && dir && *dir)
        p = std::string(dir) + "/" + p;
    return p;
}

long floor_div10(long v) { return static_cast<long>(std::floor(v / 10.0)); }
long ceil_div10(long v) { return static_cast<long>(std::ceil(v / 10.0)); }

void write_header(GPDevicePart *p, GDeviceRecord *d, const GPPlacement &pl)
{
    const GDeviceModes &m = d->modes;
    gp_puts(p, m.protocol == GP_EPS ? "%!PS-Adobe-3.0 EPSF-3.0\n" : "%!PS-Adobe-3.0\n");
    gp_puts(p, "%%Title: Vostrelane Graph\n");
    gp_puts(p, "%%Creator: Vostrelane\n");
    char date[128] = "";
    time_t now = time(nullptr);
    struct tm tmv;
    if (localtime_r(&now, &tmv))
        strftime(date, sizeof date, "%c", &tmv);
    gp_printf(p, "%%%%CreationDate: %s\n", date);
    gp_printf(p, "%%%%For: %s\n", user_name().c_str());
    gp_puts(p, "%%LanguageLevel: 1\n");
    gp_puts(p, "%%Pages: 1\n");
    gp_puts(p, m.landscape ? "%%Orientation: Landscape\n" : "%%Orientation: Portrait\n");
    // The box of the picture as placed, in points, rounded outward and
    // widened by the half width of the lines drawn along its edges.
    gp_printf(p, "%%%%BoundingBox: %ld %ld %ld %ld\n", floor_div10(pl.box[0]) - 2, floor_div10(pl.box[1]) - 2,
              ceil_div10(pl.box[2]) + 2, ceil_div10(pl.box[3]) + 2);
    bool first = true;
    each_device_font(d, [&](const std::string &name) {
        gp_printf(p, "%s font %s\n", first ? "%%DocumentNeededResources:" : "%%+", name.c_str());
        first = false;
    });
    gp_puts(p, "%%DocumentSuppliedResources: procset QuorvathPelx 2 0\n");
    gp_puts(p, "%%EndComments\n\n");
}

void write_prolog(GPDevicePart *p, const std::string &path)
{
    gp_puts(p, "\n%%BeginProlog\n\n%%BeginResource: procset QuorvathPelx 2 0\n");
    fflush(p->out);
    if (ghout_GHWriteIncludedFile(p->out, path.c_str()) != 0)
        gerror_GRegisterError(4, 9, 0, path.c_str());
    gp_puts(p, "%%EndResource\n\n%%EndProlog\n\n");
}

void write_setup(GPDevicePart *p, GDeviceRecord *d)
{
    gp_puts(p, "%%BeginSetup\n");
    each_device_font(d, [&](const std::string &name) { gp_printf(p, "%%%%IncludeResource: font %s\n", name.c_str()); });
    gp_puts(p, "%%EndSetup\n\n");
    gp_puts(p, "\n%%Page: one 1\n\n");
}

void write_defaults(GPDevicePart *p)
{
    gp_puts(p, "% Set up default graphics state\n"
               "\tgsave\n"
               "\t0.0 0.0 0.0 setrgbcolor\n"
               "\tnewpath\n"
               "\t5.00 setlinewidth\n"
               "\t0 setlinecap\n"
               "\t0 setlinejoin\n"
               "\t10 setmiterlimit\n"
               "\t[] 0 setdash\n"
               "\n");
    p->cur = GPState{0, 0, 0, -1, -1, 0};
    p->clip = GP_CLIP_NONE;
    p->depth = 0;
}

void write_size(GPDevicePart *p, const GDeviceModes &m, const GPPlacement &pl)
{
    gp_puts(p, "\n% Set up device size stuff\n\t0.1 0.1 scale\n");
    gp_printf(p, "\t%ld %ld %ld %ld %ld %ld setdims\n\n", static_cast<long>(m.ucxdim), static_cast<long>(m.ucydim),
              pl.dcxdim, pl.dcydim, pl.dcxpos, pl.dcypos);
    if (pl.rotated) {
        gp_puts(p, "\t90 rotate\n");
        gp_printf(p, "\t%ld %ld translate\n", pl.dcxpos, pl.dcypos - static_cast<long>(m.ucxdim));
    } else {
        gp_printf(p, "\t%ld %ld translate\n", pl.dcxpos, pl.dcypos);
    }
}

}  // namespace

GPPlacement gp_place(const GDeviceModes &m)
{
    GPPlacement pl{};
    long dcx = m.dcxdim, dcy = m.dcydim, xpos = m.dcxpos, ypos = m.dcypos;
    const long ucx = m.ucxdim, ucy = m.ucydim;
    bool wide = ucx >= ucy;
    bool rotated = (wide && !m.landscape) || (!wide && m.landscape);
    if (rotated && !m.fillpage) {
        std::swap(dcx, dcy);
        long old_ypos = ypos;
        ypos = xpos;
        xpos = ucy - (old_ypos + dcx);
    }
    // A picture of no size is left where it is: there is nothing to scale.
    bool sized = dcx > 0 && dcy > 0;
    double k = m.protocol == GP_EPS ? 1.0 : 0.9;
    double sx = 0, sy = 0;
    if (sized) {
        sx = (rotated ? double(ucy) / dcx : double(ucx) / dcx) * k;
        sy = (rotated ? double(ucx) / dcy : double(ucy) / dcy) * k;
    }
    if (sized && m.fillpage) {
        double f = sx <= sy ? sx : sy;
        dcx = static_cast<long>(dcx * f);
        dcy = static_cast<long>(dcy * f);
        if (!rotated) {
            if (sx <= sy) {
                xpos = (ucx - dcx) / 2;
                ypos = ucy - (dcy + xpos);
            } else {
                ypos = (ucy - dcy) / 2;
                xpos = ucx - (dcx + ypos);
            }
        } else if (sx <= sy) {
            xpos = (ucy - dcx) / 2;
            ypos = ucx - (dcy + xpos);
        } else {
            ypos = (ucx - dcy) / 2;
            xpos = ucy - (dcx + ypos);
        }
    }
    if (sized && m.centre) {
        if (!rotated) {
            if (sx > sy)
                xpos = (ucx - dcx) / 2;
            else
                ypos = (ucy - dcy) / 2;
        } else if (sx > sy) {
            xpos = (ucy - dcx) / 2;
        } else {
            ypos = (ucx - dcy) / 2;
        }
    }
    pl.dcxdim = dcx;
    pl.dcydim = dcy;
    pl.dcxpos = xpos;
    pl.dcypos = ypos;
    pl.rotated = rotated;
    if (rotated) {
        pl.box[0] = ucx - ypos - dcy;
        pl.box[1] = xpos;
        pl.box[2] = ucx - ypos;
        pl.box[3] = xpos + dcx;
    } else {
        pl.box[0] = xpos;
        pl.box[1] = ypos;
        pl.box[2] = xpos + dcx;
        pl.box[3] = ypos + dcy;
    }
    return pl;
}

int gpdev_GPSetDefaultDeviceModes(GDeviceModes *m)
{
    *m = GDeviceModes{};
    m->protocol = GP_POSTSCRIPT;
    m->dcxdim = 6120;
    m->dcydim = 7920;
    m->ucxdim = 6120;
    m->ucydim = 7920;
    m->vdcxdim = m->vdcydim = 4095;
    m->bg_colour = 1;
    m->colourmap = -1;
    m->landscape = 1;
    m->centre = 1;
    m->supports = 0xFFFFFFFFu;
    return 0;
}

int gpdev_GPSetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes)
{
    gdev_GApplyDeviceModes(device, mask & PS_MODES, modes);
    return 0;
}

int gpdev_GPGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes)
{
    *modes = device->modes;
    return 0;
}

int gpdev_GPOpenDevice(GDeviceRecord *device, uint64_t mask)
{
    GPDevicePart *p = static_cast<GPDevicePart *>(vx_malloc(sizeof(GPDevicePart), 0));
    if (!p) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *p = GPDevicePart{};
    GDeviceModes &m = device->modes;
    std::string prolog = prolog_path(m);
    int reason = 0;
    if (grev_GCheckFileRevision(prolog.c_str(), PROLOG_REVISION, &reason) != 0) {
        if (reason == 1)
            gerror_GRegisterError(4, 9, 0, prolog.c_str());
        else
            gerror_GRegisterError(3, reason == 2 ? 16 : 17, 0, prolog.c_str());
        vx_free(p);
        return -1;
    }
    p->kind = m.output;
    p->out = ghout_GHOpenOutput(m.output == GHOUT_SPOOL ? m.spoolcmd : m.filename, m.output);
    if (!p->out) {
        gerror_GRegisterError(4, 8, 0, m.output == GHOUT_SPOOL ? m.spoolcmd : m.filename);
        vx_free(p);
        return -1;
    }
    device->driver = p;
    GPPlacement pl = gp_place(m);
    write_header(p, device, pl);
    write_prolog(p, prolog);
    write_setup(p, device);
    write_defaults(p);
    write_size(p, m, pl);
    m.dcxdim = pl.dcxdim;
    m.dcydim = pl.dcydim;
    m.dcxpos = pl.dcxpos;
    m.dcypos = pl.dcypos;
    gdev_GComputeVdcExtents(&m);
    if ((mask & GDM_DRIVERFLAG) && m.driverflag)
        gp_puts(p, "% Draw a border around the Pelx device\n% Comment out this line if you wish\n\tdevborder\n\n");
    return 0;
}

int gpdev_GPCloseDevice(GDeviceRecord *device)
{
    GPDevicePart *p = gp_part(device);
    if (!p)
        return -1;
    gp_remove_clip(p);
    p->depth = 0;
    gp_puts(p, "\tgrestore\n");
    if (device->modes.protocol != GP_EPS)
        gp_puts(p, "\tshowpage\n");
    gp_puts(p, "%%Trailer\n%%EOF\n");
    int r = ghout_GHCloseOutput(p->out, p->kind);
    vx_free(p);
    device->driver = nullptr;
    return r;
}
