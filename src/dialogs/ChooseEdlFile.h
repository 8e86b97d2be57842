#pragma once

#include <string>

class QWidget;

enum class EdlChoice { Load, Save };

// The file dialog of Load EDL… and Save EDL…, modal over `owner`, listing EDL files (and all
// files). Saving starts with `start` (a folder and a proposed name) and asks before it replaces a
// file; loading starts in the folder `start`. The chosen file in the local encoding, or an empty
// string when the user cancels.
std::string ChooseEdlFile(QWidget* owner, EdlChoice choice, const std::string& start);
