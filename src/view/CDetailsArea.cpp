#include "view/CDetailsArea.h"

#include "controls/CColorLabel.h"
#include "controls/CMarkBar.h"
#include "view/CNameValidator.h"
#include "recording/RecordDetails.h"
#include "viewmodel/PaneTexts.h"

#include <QLineEdit>

namespace {

constexpr vmx::ColorRef kBlack = 0x000000;
constexpr vmx::ColorRef kWhite = 0xFFFFFF;
constexpr vmx::ColorRef kRed = 0x0000FF;

// The mark bar's look: the stretch between the marks in dark, the rest in red.
const std::vector<vmx::ColorRef> kMarkColors{0x2800FF, 0x0C0D1B, 0x2800FF};
constexpr int kMarkStyle = 171;

} // namespace

CDetailsArea::CDetailsArea(const std::array<CColorLabel*, 3>& lines, CColorLabel* time, QLineEdit* nameEdit,
                           CMarkBar* markBar, QObject* parent)
    : QObject(parent)
    , m_lines(lines)
    , m_time(time)
    , m_nameEdit(nameEdit)
    , m_markBar(markBar)
{
    m_nameEdit->setValidator(new CNameValidator(m_nameEdit));
}

void CDetailsArea::SetFonts(const QFont& details, const QFont& time)
{
    m_detailsFont = details;
    m_timeFont = time;
}

void CDetailsArea::ResetMarkBar(float seconds)
{
    m_markBar->Initialise(0.0f, seconds, 10, 2, nullptr, kMarkColors, kMarkStyle);
}

void CDetailsArea::ShowRecord(const vmx::RecordDetails& details)
{
    SetLines(vmx::DetailsLines(details));
    m_nameEdit->setText(QString::fromStdString(vmx::NameForDisplay(details.nameBytes)));
    ResetMarkBar(float(details.duration));
    emit recordShown(details);
}

void CDetailsArea::ShowMediaLines(const std::array<std::string, 3>& lines)
{
    SetLines(lines);
}

void CDetailsArea::SetLines(const std::array<std::string, 3>& lines)
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        CColorLabel* label = m_lines[i];
        label->setFont(m_detailsFont);
        label->gradientFrom = kRed;
        label->gradientTo = kBlack;
        label->textColor = kWhite;
        label->alignment = 1;
        label->SetText(QString::fromStdString(lines[i]));
    }
}

void CDetailsArea::ShowTime(std::uint32_t position)
{
    SetTimeText(vmx::TimeLabelText(position));
}

void CDetailsArea::ShowMarkTime(const std::string& text)
{
    SetTimeText(text);
}

void CDetailsArea::SetTimeText(const std::string& text)
{
    m_time->setFont(m_timeFont);
    m_time->gradientFrom = 0x590A29;
    m_time->gradientTo = 0x007CFF;
    m_time->textColor = kWhite;
    m_time->alignment = 1;
    m_time->SetText(QString::fromStdString(text));
}

QString CDetailsArea::TimeText() const
{
    return m_time->Text();
}

std::string CDetailsArea::NameText() const
{
    return m_nameEdit->text().toStdString();
}

void CDetailsArea::ClearName()
{
    m_nameEdit->clear();
}

void CDetailsArea::Clear()
{
    SetLines({});
    ClearName();
}
