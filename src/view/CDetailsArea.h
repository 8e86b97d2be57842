#pragma once

#include <QFont>
#include <QObject>

#include <array>
#include <cstdint>
#include <string>

class CColorLabel;
class CMarkBar;
class QLineEdit;

namespace vmx {
struct RecordDetails;
}

// The upper right of the main form: the three details lines of the recording last clicked, the
// name edit box that RE reads, the time label of the player and the mark bar under the player.
class CDetailsArea : public QObject {
    Q_OBJECT
public:
    CDetailsArea(const std::array<CColorLabel*, 3>& lines, CColorLabel* time, QLineEdit* nameEdit, CMarkBar* markBar,
                 QObject* parent);

    // The fonts the view made for the details lines and the time label.
    void SetFonts(const QFont& details, const QFont& time);
    CMarkBar& MarkBar() const { return *m_markBar; }
    // The mark bar as the view keeps it: 0 .. seconds, tick every 10, two marks, none placed.
    void ResetMarkBar(float seconds);
    // A recording's details: its lines, its name in the edit box, the mark bar over its duration.
    void ShowRecord(const vmx::RecordDetails& details);
    // The lines in the look of the MP3 and JPEG modes.
    void ShowMediaLines(const std::array<std::string, 3>& lines);
    // "Time:..." for a playback position in seconds.
    void ShowTime(std::uint32_t position);
    // The time label names a mark instead ("Start 12.3 s").
    void ShowMarkTime(const std::string& text);
    // What the time label shows.
    QString TimeText() const;
    // The name edit box's text as UTF-8.
    std::string NameText() const;
    void ClearName();
    // Shows no recording: the lines and the name edit box empty.
    void Clear();

signals:
    // ShowRecord has shown a recording's details.
    void recordShown(const vmx::RecordDetails& details);

private:
    void SetLines(const std::array<std::string, 3>& lines);
    void SetTimeText(const std::string& text);

    std::array<CColorLabel*, 3> m_lines;
    CColorLabel* m_time;
    QLineEdit* m_nameEdit;
    CMarkBar* m_markBar;
    QFont m_detailsFont;
    QFont m_timeFont;
};
