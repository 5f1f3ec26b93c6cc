#pragma once

#include <QString>

// "Quillon V" with the major number and the last two digits of minor and revision.
QString windowCaption(int major, int minor, int revision);

// Where the start-up layout puts the groups, in twips, for a screen of the given height and a
// window frame (title bar included) of the given height: the outer window takes the screen,
// the log group a third of it (less on a low screen, so that four rules show), the rules what is
// left inside.
struct WindowLayout {
    double windowHeight;
    double logTop;  // Frame10
    double logHeight;
    double logGridHeight;  // DataGrid2
    double scheduleTop;    // Frame4
    double rulesTop;       // Frame2
    double rulesHeight;
    double ruleGridHeight;  // DataGrid1
};
WindowLayout startupLayout(double screenHeight, double decoration = 0);
