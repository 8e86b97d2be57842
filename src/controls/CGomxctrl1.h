#pragma once

#include "controls/MpvHandle.h"
#include "controls/PartProtocol.h"

#include <QStringList>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

// The embedded media player. It plays MPEG transport streams, MP3 files and pictures (a picture
// stays on screen), drawing video through libmpv's render API with OpenGL, or in software where
// OpenGL does not work or would run on the processor. Under a platform without a screen (offscreen, minimal) it runs headless:
// same behaviour, no picture. libmpv is loaded, and the mpv instance and the video surface made,
// when the first file is opened (or on Start).
class CGomxctrl1 : public QWidget {
    Q_OBJECT
public:
    enum PlayState { kStopped = 1, kPaused = 2, kPlaying = 4 };
    enum class VideoOutput { None, OpenGL, Software };

    explicit CGomxctrl1(QWidget* parent = nullptr, int controlId = 0);
    ~CGomxctrl1() override;

    int ControlId() const { return m_controlId; }

    // Opens a media file and starts playing it.
    void SetFileName(const QString& path);
    // Plays a recording: its part files, in record order, as one stream with one timeline, so
    // that the picture goes on across a part boundary and positions count from the recording's
    // start.
    void SetParts(const QStringList& parts);
    // Holds the player paused on the recording `parts`: opens it paused, or pauses it when it is
    // the recording the player holds already (so that seeking in it needs no reload). Nothing
    // starts playing.
    void OpenPartsPaused(const QStringList& parts);
    // The file being played (a recording's first part); empty while nothing plays.
    QString FileName() const { return m_loaded && !m_source.isEmpty() ? m_source.front() : QString(); }
    // Jumps to a position in seconds inside the current file or recording; `exact` goes to that
    // very picture rather than to the key frame before it.
    void SetCurrentPosition(double seconds, bool exact = false);
    // The video's frame rate as the file gives it (or as the decoder measured it); nothing before
    // a video file has loaded.
    std::optional<double> FramesPerSecond() const;
    // kPlaying (4) while a file is open and not paused.
    int GetPlayState() const;
    // Continues after Pause. After Stop, plays the file last played again from its start.
    void Resume();
    // Stops and unloads the file, so the player keeps no file open.
    void Stop();
    // Stop, and forget the file last played: Resume then has nothing to play.
    void Release();
    void Pause();

    // Playback position in seconds inside the current file or recording, when one is playing.
    std::optional<double> CurrentPosition() const;
    // True while mpv itself holds playback (its own pause property), whatever was asked of it.
    bool MpvHolds() const;
    bool IsHeadless() const { return m_output == VideoOutput::None; }
    VideoOutput Output() const { return m_output; }
    // Loads libmpv and creates the player now; the first file to play does it otherwise (a
    // window that plays nothing never loads libmpv). False when that fails.
    bool Start();
    // False once the player could not be started (see Problem); every member then does nothing.
    bool IsAvailable() const { return m_problem.isEmpty(); }
    // Players started later draw with OpenGL also where the display offers no direct rendering
    // (OpenGL on the processor); by default they draw in software there.
    static void AllowOpenGLWithoutDirectRendering(bool allow);
    // Why the player could not be started, in a sentence for the user; empty while it can.
    QString Problem() const { return m_problem; }

signals:
    // The current file or recording has finished playing.
    void EndOfFile(int reason);

private:
    bool StartMpv();
    void UseOpenGL();
    void UseSoftware();
    bool VideoReady() const;
    void Open(const QStringList& source, bool recording, bool paused);
    void LoadNow();
    void DrainEvents();

    int m_controlId;
    // Declared before the instance: it is destroyed after it, when mpv reads no more.
    vmx::PartProtocol m_parts;
    vmx::MpvHandle m_mpv;
    bool m_started = false;
    QString m_problem;
    VideoOutput m_output = VideoOutput::None;
    QWidget* m_video = nullptr;
    std::atomic<bool> m_drainQueued{false};
    bool m_loaded = false;
    bool m_fileReady = false;
    bool m_paused = false;
    // What is open: one media file, or a recording's part files.
    QStringList m_source;
    bool m_recording = false;
    QStringList m_lastSource;
    bool m_lastRecording = false;
    // mpv's playlist entry of the file last handed over (kNoEntry when none or stopped), and of
    // the file mpv started last: only their events count, a replaced or stopped file's do not.
    static constexpr std::int64_t kNoEntry = -1;
    std::int64_t m_entry = kNoEntry;
    std::int64_t m_startedEntry = kNoEntry;
    bool m_waitingForVideo = false;
    std::optional<double> m_pendingSeek;
    bool m_pendingExact = false;
};
