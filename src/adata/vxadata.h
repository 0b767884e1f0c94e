// The application resource record: the values of the program's X
// resources and command-line options, filled once by main() and passed by
// address to the initialisers of the other subsystems.
#pragma once

#include <Xm/Xm.h>
#include <nl_types.h>

struct AppData {
    nl_catd catd;            // "vostrelane.cat"; NL_NO_CATALOGUE until opened
    String install_dir;      // installation (client) directory
    String user_name;        // copy of `user` after resolution
    String server_name;      // copy of `server` after resolution
    int buffer_size;         // copy of `queryBufferSize`
    int timeout;             // minutes, -1 none
    int singleClickInterval; // milliseconds
    int doubleClickInterval;
    XmFontList titleFont, labelFont, dataFont, buttonFont, textFont, detailFont, menuFont;
    String titleFontset, labelFontset, dataFontset, buttonFontset, textFontset, detailFontset, menuFontset;
    int tableXGap, tableYGap, tableXExtra;
    Boolean warpOnToolDrag, initialShowTableInfo, initialShowSystemTables, initialShowIndexInfo,
        initialShowSampleData, initialValidateQuery;
    Pixel tableColor;
    String dateOutputFormat, timeOutputFormat;
    int displayBufferSize;
    Pixel graphBackgroundColor;
    Boolean resourcesLoaded;
    String server, user, database, password, procedure;
    int queryBufferSize, runMode;
    Boolean debugMode;
    int noResize, nomap;
    String displayName, className, displayId, passwordfile;
    int displayCheckStopLines;
    String plainPrintCommand, psPrintCommand, graphPrintCommand, graphPlotCommand, graphPclCommand;
    String dateInputFormat, complexOutputFormat, pelxConfigFile;
    float xferCheckStopInterval;
    int databaseMode;        // 0 shared, 1 exclusive, 2 forced
    String userToolIcon, userToolCommand;
    String userMenuDefinition1, userMenuDefinition2, userMenuDefinition3, userMenuDefinition4;
    XmFontList userFont, systemFont;
    Boolean useVueFonts, usePrivateColourmap;
    int printerPageWidth, printerPageLength;
    Boolean relaxedConfirmation, printArraysInColumns, disableWMClose, disableTooltips;
    int useEditorThreshold, percentagePan;
    Boolean skipTextEvalErrors, autoUpgradeColourmap, allowColourmap, qualifyColumnNames;
    int julianStartDay;
    Boolean version;
    int maxTickPixel;
    Boolean nochangepass;
};

// Run modes.
enum {
    RUN_USAGE = -1,
    RUN_INTERACTIVE = 0,
    RUN_CONNECTED = 1,
    RUN_TSL = 2,
    RUN_TSL_EDIT = 3,
    RUN_TSL_PROCEDURE = 4,
    RUN_TSL_NOMENU = 5,
    RUN_TSL_NOWIN = 6,
};
