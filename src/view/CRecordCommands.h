#pragma once

#include "recording/RecordingSession.h"

#include <QObject>

#include <functional>

class CDetailsArea;
class CSessionRunner;
class CViewPlayer;

// The commands that change the recordings of the panes' databases, on the session worker: RE
// renames the current recording of the active pane to the name edit box's text, the Delete key
// deletes the selected recordings of a pane with their part files, and AL and AR copy the selected
// recordings of one pane into the other pane's database, with the copy window live (an empty
// target pane is first offered a new database).
class CRecordCommands : public QObject {
    Q_OBJECT
public:
    CRecordCommands(CSessionRunner& runner, CDetailsArea& details, CViewPlayer& player)
        : m_runner(runner), m_details(details), m_player(player) {}

    void Rename();                  // RE
    void Delete(int side);          // the Delete key
    void Transfer(int sourceSide);  // AL (source side 0) and AR (1)
    // Offers an empty database to the pane opposite `sourceSide` when it has none; `then` hears
    // the outcome once the user has answered.
    void OfferNewDb(int sourceSide, std::function<void(const vmx::OfferResult&)> then);

private:
    CSessionRunner& m_runner;
    CDetailsArea& m_details;
    CViewPlayer& m_player;
};
