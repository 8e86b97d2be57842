#pragma once

#include "recording/AdStretches.h"
#include "recording/Cut.h"
#include "view/CCutListDlg.h"
#include "viewmodel/CommandKeys.h"
#include "viewmodel/CutList.h"
#include "viewmodel/CutMarks.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <optional>
#include <string>

#include <utility>
#include <vector>

class CDetailsArea;
class CMarkBar;
class CViewPlayer;
class QWidget;

namespace vmx {
struct MainViewState;
class UserInterface;
}

// The window's side of cutting a recording precisely: a mark placed or dragged on the mark bar
// holds the player on the picture at the mark and names the mark's time under the player; the
// mark keys set and nudge the marks; ADD puts the marked stretch on the cut list (its own small
// window, and shaded on the mark bar); proposals of advertising join the list hatched, and a
// listed stretch selected puts the marks on its ends, which then move it; the list goes to and
// comes from EDL files. PR's request is built from the list, or from the marks when the list is
// empty. While the cut's question is open the bar shows where the cut lands.
class CCutEditor : public QObject {
    Q_OBJECT
public:
    // `window`: the main form, over which the cut list's window and the messages open.
    CCutEditor(vmx::MainViewState& state, CDetailsArea& details, CViewPlayer& player, vmx::UserInterface& ui,
               QWidget* window);
    ~CCutEditor() override;

    // The details of a recording are shown (a row was clicked): the marks start afresh over it,
    // and a cut list of another recording is dropped.
    void RecordShown(const vmx::RecordDetails& details);
    // A mark key (I, O, the arrows).
    void MarkKey(vmx::MarkKey key);
    // ADD.
    void Add();
    // Takes the listed stretches at `rows` off the list.
    void Remove(const std::vector<int>& rows);
    // Proposals found in the recording whose first part file is `key` (the list of another
    // recording than the selected one keeps them until that one is selected).
    void Propose(const std::string& key, const std::vector<vmx::AdStretch>& stretches);
    // The listed stretch at `row` is selected (-1: none): the marks go to its ends and the player
    // shows the picture at its start. Moving a mark then moves that end of the stretch.
    void SelectStretch(int row);
    // The player shows the picture at the start or the `end` of the listed stretch at `row`, and
    // the arrows move that end.
    void ShowStretchEnd(int row, bool end);
    // Save EDL… and Load EDL…: the list of the selected recording written to, or added to from,
    // an EDL file the user names.
    void SaveEdl();
    void LoadEdl();
    // The cut list's window, beside the main window, made when first asked for.
    CCutListDlg& ShowListWindow();

    // PR's request: the listed stretches, or the stretch between the two marks when the list is
    // empty (no stretch with fewer marks: the cut then says that nothing is marked).
    vmx::CutRequest Request() const;
    // Where the cut of each stretch lands, while its question is open: the two marks move there,
    // or the shaded stretches of the list do.
    void ShowCutMarks(const std::vector<std::pair<double, double>>& stretches);
    // The cut has ended: done, the list goes (the marks have been reset); otherwise the marks and
    // the list show again what the user had set.
    void CutEnded(bool done);

    // The cut list of the selected recording.
    const vmx::CutList& List() const { return m_lists[m_listKey]; }
    // The cut list's window once the first ADD has opened it.
    CCutListDlg* ListWindow() const { return m_window; }

private:
    // A mark was placed or moved to `value` and is at `index` of the marks: the player shows its
    // picture, the label its time.
    void ShowMark(float value, int index);
    // Sets the mark at `index` (or a new one) to `seconds` and shows it.
    void SetMark(int index, double seconds);
    void StepLastMark(double seconds);
    // The player's place as a time of the selected recording, if it holds that recording.
    std::optional<double> PlayerTime();
    // The marks bar's shading and the list window from the list.
    void ShowList();
    vmx::CutList& CurrentList() { return m_lists[m_listKey]; }
    // Replaces the marks by `marks` (ascending), without showing them in the player.
    void PutMarks(const std::vector<float>& marks);
    // The selected listed stretch follows marks the user moved.
    void FollowMarks();
    CMarkBar& Bar() const;

    vmx::MainViewState& m_state;
    CDetailsArea& m_details;
    CViewPlayer& m_player;
    vmx::UserInterface& m_ui;
    QWidget* m_windowParent;
    // Each recording's cut list, by the path of its first part file, so that a click on another
    // row loses no list; m_listKey names the selected recording's.
    mutable std::map<std::string, vmx::CutList> m_lists;
    std::string m_listKey;
    // The row of the listed stretch whose ends the marks show, or -1.
    int m_selected = -1;
    // The folder an EDL file was last saved to or loaded from.
    std::string m_edlFolder;
    // The marks and the shading as the user set them, kept while the cut's question shows where
    // the cut lands.
    std::optional<std::vector<float>> m_userMarks;
    std::optional<std::vector<std::pair<float, float>>> m_userShading;
    QPointer<CCutListDlg> m_window;
};
