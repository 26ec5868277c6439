#pragma once

#include <QString>

class QMessageBox;

// The modal information dialog of the tray menu: title "Parlix", one button "好".
class InformationDialog {
public:
    static QMessageBox* create(const QString& messageText, const QString& informativeText);
    // Runs the dialog modally and returns when the user has pressed "好".
    static void run(const QString& messageText, const QString& informativeText);
};
