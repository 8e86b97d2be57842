#include "view/CViewPlayer.h"

#include "controls/CGomxctrl1.h"
#include "controls/CSkinSlider.h"
#include "recording/UserInterface.h"
#include "view/CDetailsArea.h"

#include <QFile>

namespace {

constexpr int kTimerMs = 1000;

QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

CViewPlayer::CViewPlayer(vmx::MainViewState& state, CGomxctrl1* player, CSkinSlider* slider, CDetailsArea* details,
                         vmx::UserInterface& ui, std::function<void(bool)> enableModeSelector, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_player(player)
    , m_slider(slider)
    , m_details(details)
    , m_ui(ui)
    , m_enableModeSelector(std::move(enableModeSelector))
{
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CViewPlayer::Tick);
    connect(m_player, &CGomxctrl1::EndOfFile, this, &CViewPlayer::EndOfFile);
}

bool CViewPlayer::IsRunning() const
{
    return m_player->GetPlayState() == CGomxctrl1::kPlaying;
}

bool CViewPlayer::Shows(const std::string& path) const
{
    return !path.empty() && m_player->FileName() == PathText(path);
}

bool CViewPlayer::SpacePauses() const
{
    return IsRunning() || (m_state.playback.paused() && vmx::MediaKindOfMode(m_state.mode).has_value());
}

void CViewPlayer::ShowPicture(const vmx::RecordDetails& details, double seconds)
{
    Apply(m_state.playback.showPicture(details, seconds));
}

std::optional<double> CViewPlayer::RecordingTime() const
{
    if (!m_state.playback.recording() || m_player->FileName().isEmpty())
        return std::nullopt;
    return m_player->CurrentPosition();
}

std::optional<double> CViewPlayer::FramesPerSecond() const
{
    return m_player->FramesPerSecond();
}

void CViewPlayer::Play()
{
    const auto kind = vmx::MediaKindOfMode(m_state.mode);
    if (!kind) {
        Apply(m_state.playback.playRecording(m_state.anyRowSelected(), m_state.selectedDetails(), IsRunning()));
        return;
    }
    std::string path;
    if (m_state.activeSide == vmx::kLeftSide) {
        if (const vmx::PcMediaFile* file = m_state.pending.at(*kind, m_state.selected(vmx::kLeftSide)))
            path = file->path;
    } else {
        const int row = m_state.selected(vmx::kRightSide);
        const std::vector<vmx::MediaFileEntry>& files = m_state.receiverFiles.files;
        if (row >= 0 && std::size_t(row) < files.size())
            path = m_state.receiverFiles.folder + "/" + files[std::size_t(row)].name;
    }
    Apply(m_state.playback.playFile(path));
}

void CViewPlayer::Pause()
{
    Apply(m_state.playback.pause());
}

void CViewPlayer::Stop()
{
    Apply(m_state.playback.stop());
}

void CViewPlayer::Release()
{
    Apply(m_state.playback.release());
    m_player->Release();
}

void CViewPlayer::SliderTracking(int position)
{
    Apply(m_state.playback.seek(position));
}

void CViewPlayer::SliderReleased()
{
    Apply(m_state.playback.reseek());
}

void CViewPlayer::Tick()
{
    // The time of a recording is the player's: the label and the slider follow the picture.
    std::optional<double> seconds;
    if (m_state.playback.recording())
        seconds = m_player->CurrentPosition();
    Apply(m_state.playback.tick(seconds));
}

void CViewPlayer::EndOfFile()
{
    Apply(m_state.playback.endOfFile());
}

void CViewPlayer::Apply(const vmx::PlayerStep& step)
{
    if (!step.openParts.empty()) {
        QStringList parts;
        for (const std::string& part : step.openParts)
            parts.push_back(PathText(part));
        if (step.openPaused)
            m_player->OpenPartsPaused(parts);
        else
            m_player->SetParts(parts);
    }
    if (!step.openFile.empty())
        m_player->SetFileName(PathText(step.openFile));
    if ((!step.openParts.empty() || !step.openFile.empty()) && !m_player->IsAvailable()) {
        // libmpv could not be loaded: say why once per attempt, and hold nothing.
        const std::string problem = m_player->Problem().toStdString();
        Apply(m_state.playback.release());
        m_ui.showMessage(problem);
        return;
    }
    if (step.seek)
        m_player->SetCurrentPosition(*step.seek, step.exactSeek);
    if (step.pause)
        m_player->Pause();
    if (step.resume)
        m_player->Resume();
    if (step.stop)
        m_player->Stop();
    if (step.timer == vmx::PlayerStep::Timer::Start)
        m_timer.start();
    else if (step.timer == vmx::PlayerStep::Timer::Stop)
        m_timer.stop();
    if (step.modeSelectorEnabled)
        m_enableModeSelector(*step.modeSelectorEnabled);
    if (step.sliderRange)
        m_slider->SetRange(0, *step.sliderRange, false);
    if (step.enableSlider)
        m_slider->Enable(true);
    if (step.sliderPosition)
        m_slider->SetPos(*step.sliderPosition);
    if (step.showTime)
        m_details->ShowTime(m_state.playback.position());
    if (!step.message.empty())
        m_ui.showMessage(step.message);
}
