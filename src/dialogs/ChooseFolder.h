#pragma once

#include <QString>

class QWidget;

// The folder chooser: a modal dialog over `owner` that starts in `initialFolder` and shows only
// folders. Returns the chosen folder, or an empty string when the user cancels.
QString ChooseFolder(QWidget* owner, const QString& initialFolder, const QString& title);
