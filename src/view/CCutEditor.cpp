#include "view/CCutEditor.h"

#include "common/FilePaths.h"
#include "controls/CMarkBar.h"
#include "dialogs/ChooseEdlFile.h"
#include "recording/EdlFile.h"
#include "recording/Merge.h"
#include "recording/PlaybackParts.h"
#include "view/CCutListDlg.h"
#include "view/CDetailsArea.h"
#include "view/CViewPlayer.h"
#include "viewmodel/MainViewState.h"

#include <QDir>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kNoPlayerPlaceMessage =
    "I and O set a mark where the player is: play the recording (or place a mark on the bar) first.";
constexpr const char* kAddNeedsMarksMessage =
    "Set the start mark and the end mark first: click the mark bar twice, or press I and O.";
constexpr const char* kEmptyStretchMessage = "Both marks are at the same time: there is nothing between them to cut.";
constexpr const char* kNothingToSaveMessage = "The cut list is empty: there is nothing to save.";

vmx::MarkRole RoleOf(int index)
{
    return index == 0 ? vmx::MarkRole::Start : vmx::MarkRole::End;
}

}  // namespace

CCutEditor::CCutEditor(vmx::MainViewState& state, CDetailsArea& details, CViewPlayer& player, vmx::UserInterface& ui,
                       QWidget* window)
    : m_state(state)
    , m_details(details)
    , m_player(player)
    , m_ui(ui)
    , m_windowParent(window)
{
    connect(&Bar(), &CMarkBar::markAdded, this, &CCutEditor::ShowMark);
    connect(&Bar(), &CMarkBar::markMoved, this, &CCutEditor::ShowMark);
}

CCutEditor::~CCutEditor() = default;

CMarkBar& CCutEditor::Bar() const
{
    return m_details.MarkBar();
}

void CCutEditor::RecordShown(const vmx::RecordDetails& details)
{
    m_userMarks.reset();
    m_userShading.reset();
    m_listKey = vmx::PartPathOf(details, 0);
    m_selected = -1;
    ShowList();
}

void CCutEditor::ShowMark(float value, int index)
{
    m_details.ShowMarkTime(vmx::MarkLabelText(RoleOf(index), value));
    const vmx::RecordDetails* details = m_state.selectedDetails();
    if (m_state.mode != vmx::ViewMode::Record || !details)
        return;
    m_player.ShowPicture(*details, value);
    FollowMarks();
}

void CCutEditor::FollowMarks()
{
    if (m_selected < 0 || std::size_t(m_selected) >= List().size())
        return;
    const std::vector<float> marks = Bar().GetMarks();
    if (marks.size() != 2)
        return;
    // The marks as they were put on the stretch's ends (kept inside the bar's range) have not moved.
    const vmx::ListedStretch& stretch = List().entries()[std::size_t(m_selected)];
    const auto onBar = [this](double seconds) { return std::clamp(float(seconds), Bar().RangeMin(), Bar().RangeMax()); };
    if (marks[0] == onBar(stretch.start) && marks[1] == onBar(stretch.end))
        return;
    m_selected = CurrentList().move(std::size_t(m_selected), marks[0], marks[1]);
    ShowList();
}

void CCutEditor::SetMark(int index, double seconds)
{
    const int at = Bar().SetMark(index, float(seconds));
    if (at >= 0)
        ShowMark(Bar().GetMarks().at(std::size_t(at)), at);
}

std::optional<double> CCutEditor::PlayerTime()
{
    const vmx::RecordDetails* details = m_state.selectedDetails();
    const std::optional<double> time = m_player.RecordingTime();
    const auto& playing = m_state.playback.recording();
    if (!details || !time || !playing || vmx::PartPathOf(*playing, 0) != vmx::PartPathOf(*details, 0))
        return std::nullopt;
    return time;
}

void CCutEditor::MarkKey(vmx::MarkKey key)
{
    if (m_state.mode != vmx::ViewMode::Record)
        return;
    const std::vector<float> marks = Bar().GetMarks();
    switch (key) {
    case vmx::MarkKey::StartAtPlayer:
    case vmx::MarkKey::EndAtPlayer: {
        const std::optional<double> time = PlayerTime();
        if (!time) {
            m_ui.showMessage(kNoPlayerPlaceMessage);
            return;
        }
        const bool start = key == vmx::MarkKey::StartAtPlayer;
        SetMark(marks.size() == 2 ? (start ? 0 : 1) : int(marks.size()), *time);
        return;
    }
    case vmx::MarkKey::PictureBack:
    case vmx::MarkKey::PictureOn:
    case vmx::MarkKey::SecondBack:
    case vmx::MarkKey::SecondOn: {
        const int last = Bar().LastTouched();
        if (last < 0 || std::size_t(last) >= marks.size())
            return;
        const bool picture = key == vmx::MarkKey::PictureBack || key == vmx::MarkKey::PictureOn;
        const bool back = key == vmx::MarkKey::PictureBack || key == vmx::MarkKey::SecondBack;
        const double step = picture ? vmx::PictureSeconds(m_player.FramesPerSecond()) : 1.0;
        SetMark(last, vmx::StepMark(marks[std::size_t(last)], back ? -step : step, Bar().RangeMax()));
        return;
    }
    case vmx::MarkKey::None:
        return;
    }
}

void CCutEditor::Add()
{
    if (m_state.mode != vmx::ViewMode::Record)
        return;
    const std::vector<float> marks = Bar().GetMarks();
    if (marks.size() != 2) {
        m_ui.showMessage(kAddNeedsMarksMessage);
        return;
    }
    if (!CurrentList().add(marks[0], marks[1])) {
        m_ui.showMessage(kEmptyStretchMessage);
        return;
    }
    // The marks are free for the next stretch.
    m_selected = -1;
    m_details.ResetMarkBar(Bar().RangeMax());
    ShowListWindow();
}

CCutListDlg& CCutEditor::ShowListWindow()
{
    if (!m_window) {
        m_window = new CCutListDlg(m_windowParent);
        connect(m_window, &CCutListDlg::removeWanted, this, &CCutEditor::Remove);
        connect(m_window, &CCutListDlg::stretchSelected, this, &CCutEditor::SelectStretch);
        connect(m_window, &CCutListDlg::pictureWanted, this, &CCutEditor::ShowStretchEnd);
        connect(m_window, &CCutListDlg::loadWanted, this, &CCutEditor::LoadEdl);
        connect(m_window, &CCutListDlg::saveWanted, this, &CCutEditor::SaveEdl);
        // Beside the main window, on the right where the screen has room, else over its edge.
        if (m_windowParent) {
            const QRect frame = m_windowParent->window()->frameGeometry();
            const QRect screen = m_windowParent->screen()->availableGeometry();
            const int x = std::min(frame.right() + 8, screen.right() - m_window->width() - 8);
            m_window->move(std::max(x, screen.left()), frame.top());
        }
    }
    ShowList();
    m_window->show();
    return *m_window;
}

void CCutEditor::Remove(const std::vector<int>& rows)
{
    // From the last, so that the earlier rows keep their places.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        CurrentList().remove(std::size_t(*it));
    m_selected = -1;
    ShowList();
}

void CCutEditor::Propose(const std::string& key, const std::vector<vmx::AdStretch>& stretches)
{
    m_lists[key].propose(stretches);
    if (key != m_listKey || m_state.mode != vmx::ViewMode::Record)
        return;
    m_selected = -1;
    ShowListWindow();
}

void CCutEditor::SelectStretch(int row)
{
    m_selected = row >= 0 && std::size_t(row) < List().size() ? row : -1;
    if (m_selected >= 0)
        ShowStretchEnd(row, false);
}

void CCutEditor::ShowStretchEnd(int row, bool end)
{
    if (m_state.mode != vmx::ViewMode::Record || row < 0 || std::size_t(row) >= List().size())
        return;
    m_selected = row;
    const vmx::ListedStretch stretch = List().entries()[std::size_t(row)];
    PutMarks({float(stretch.start), float(stretch.end)});
    // Set again, the end shown is the mark touched last: the arrows move it.
    SetMark(end ? 1 : 0, end ? stretch.end : stretch.start);
}

void CCutEditor::SaveEdl()
{
    const vmx::RecordDetails* details = m_state.selectedDetails();
    if (m_state.mode != vmx::ViewMode::Record || !details)
        return;
    if (List().empty()) {
        m_ui.showMessage(kNothingToSaveMessage);
        return;
    }
    // Named as an export of the recording is, beside where the last EDL file went.
    AVMRec record{};
    std::memcpy(record.name, details->nameField.data(), sizeof record.name);
    const std::string folder = m_edlFolder.empty() ? QDir::homePath().toStdString() : m_edlFolder;
    const std::string path = ChooseEdlFile(m_windowParent, EdlChoice::Save, folder + "/" + vmx::ExportBaseName(record) + ".edl");
    if (path.empty())
        return;
    m_edlFolder = vmx::FolderOfPath(path);
    if (const std::string error = vmx::WriteEdlFile(path, List().edl()); !error.empty())
        m_ui.showMessage(error);
}

void CCutEditor::LoadEdl()
{
    const vmx::RecordDetails* details = m_state.selectedDetails();
    if (m_state.mode != vmx::ViewMode::Record || !details)
        return;
    const std::string path = ChooseEdlFile(m_windowParent, EdlChoice::Load,
                                           m_edlFolder.empty() ? QDir::homePath().toStdString() : m_edlFolder);
    if (path.empty())
        return;
    m_edlFolder = vmx::FolderOfPath(path);
    std::vector<vmx::EdlEntry> entries;
    if (const std::string error = vmx::ReadEdlFile(path, entries); !error.empty()) {
        m_ui.showMessage(error);
        return;
    }
    if (entries.empty()) {
        m_ui.showMessage(path + " lists no stretch.");
        return;
    }
    const std::size_t listed = CurrentList().load(entries, details->duration);
    m_selected = -1;
    ShowListWindow();
    // Stretches past the recording's end belong to another recording, or to this one before a cut.
    if (listed < entries.size()) {
        const std::size_t left = entries.size() - listed;
        m_ui.showMessage(std::to_string(left) + " of the " + std::to_string(entries.size()) + " stretches of " + path +
                         (left == 1 ? " starts" : " start") + " after the end of the recording (" +
                         vmx::DurationText(details->duration) + ") and " + (left == 1 ? "was" : "were") + " left out.");
    }
}

void CCutEditor::ShowList()
{
    const vmx::CutList& list = List();
    std::vector<std::pair<float, float>> shading;
    std::vector<bool> proposed;
    std::vector<std::string> lines;
    for (const vmx::ListedStretch& stretch : list.entries()) {
        shading.emplace_back(float(stretch.start), float(stretch.end));
        proposed.push_back(stretch.proposed);
        lines.push_back(vmx::ListedStretchText(stretch));
    }
    if (std::size_t(m_selected) >= list.size())
        m_selected = -1;
    Bar().SetShadedStretches(shading, proposed);
    if (m_window)
        m_window->SetLines(lines, m_selected);
}

vmx::CutRequest CCutEditor::Request() const
{
    vmx::CutRequest request;
    request.positioning = vmx::CutPositioning::StreamClock;
    if (!List().empty()) {
        request.stretches = List().stretches();
        return request;
    }
    const std::vector<float> marks = Bar().GetMarks();
    if (marks.size() == 2)
        request.stretches.push_back({double(marks[0]), double(marks[1])});
    return request;
}

void CCutEditor::PutMarks(const std::vector<float>& marks)
{
    m_details.ResetMarkBar(Bar().RangeMax());
    for (std::size_t k = 0; k < marks.size(); ++k)
        (void)Bar().SetMark(int(k), marks[k]);
}

void CCutEditor::ShowCutMarks(const std::vector<std::pair<double, double>>& stretches)
{
    if (List().empty()) {
        if (stretches.size() != 1)
            return;
        if (!m_userMarks)
            m_userMarks = Bar().GetMarks();
        PutMarks({float(stretches[0].first), float(stretches[0].second)});
        return;
    }
    if (!m_userShading)
        m_userShading = Bar().ShadedStretches();
    std::vector<std::pair<float, float>> shading;
    for (const auto& [from, to] : stretches)
        shading.emplace_back(float(from), float(to));
    Bar().SetShadedStretches(shading);
}

void CCutEditor::CutEnded(bool done)
{
    if (done) {
        CurrentList().clear();
    } else if (m_userMarks) {
        PutMarks(*m_userMarks);
    }
    m_userMarks.reset();
    m_userShading.reset();
    ShowList();
}
