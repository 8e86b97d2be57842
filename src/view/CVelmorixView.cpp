#include "view/CVelmorixView.h"

#include "controls/CBitmapButton.h"
#include "controls/CColorLabel.h"
#include "controls/CGomxctrl1.h"
#include "controls/CMarkBar.h"
#include "controls/CSkinSlider.h"
#include "view/FormTemplate.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>

namespace {

constexpr ColorRef kFormBackground = 0x0000E1FF;
constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kRed = 0x0000FF;

constexpr int kDetailsLineIds[] = {ControlId::kDetailsLine1, ControlId::kDetailsLine2, ControlId::kDetailsLine3};

// Mark bar of the view: two marks over a range of seconds, cut colours around them.
const std::vector<ColorRef> kMarkColors{0x2800FF, 0x0C0D1B, 0x2800FF};
constexpr int kMarkStyle = 171;

// The labels' fonts are given by their cell height (ascent plus descent), not by the height of
// their letters: take the largest pixel size whose lines are no taller than the cell.
QFont BlackArial(int cellHeight)
{
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Black);
    font.setStyleStrategy(QFont::PreferAntialias);
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight)
            break;
    }
    return font;
}

} // namespace

CVelmorixView::CVelmorixView(QWidget* parent)
    : CColorFormView(parent)
    , m_units(BaseUnitsOf(DialogFont()))
{
    setFont(DialogFont());
    CreateControls();
    LayOut();
}

CVelmorixView::~CVelmorixView() = default;

void CVelmorixView::CreateControls()
{
    using FormTemplate::Kind;
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        QWidget* widget = nullptr;
        switch (control.kind) {
        case Kind::Player:
            widget = m_player = new CGomxctrl1(this, control.id);
            break;
        case Kind::Slider:
            widget = m_slider = new CSkinSlider(this, control.id);
            break;
        case Kind::MarkBar:
            widget = m_markBar = new CMarkBar(this, control.id);
            break;
        case Kind::Pane: {
            auto* pane = new QTableWidget(this);
            pane->setSelectionBehavior(QAbstractItemView::SelectRows);
            pane->setSelectionMode(QAbstractItemView::ExtendedSelection);
            pane->setEditTriggers(QAbstractItemView::NoEditTriggers);
            pane->verticalHeader()->hide();
            pane->setShowGrid(true);
            (control.id == ControlId::kLeftPane ? m_leftPane : m_rightPane) = pane;
            widget = pane;
            break;
        }
        case Kind::ModeSelector:
            widget = m_modeSelector = new QComboBox(this);
            break;
        case Kind::NameEdit:
            widget = m_nameEdit = new QLineEdit(this);
            break;
        case Kind::Label: {
            auto* label = new CColorLabel(this);
            label->SetText(QString::fromLatin1(control.caption));
            widget = label;
            break;
        }
        case Kind::Button: {
            auto* button = new CBitmapButton(this, control.id);
            button->setText(QString::fromLatin1(control.caption));
            widget = button;
            break;
        }
        }
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
        m_controls.insert(control.id, widget);
    }
}

QSize CVelmorixView::DesignSize() const
{
    return QSize(DluToPixelsX(FormTemplate::kWidthDlu, m_units), DluToPixelsY(FormTemplate::kHeightDlu, m_units));
}

void CVelmorixView::LayOut()
{
    const QSize design = DesignSize();
    const int extraWidth = width() - design.width();
    const int extraHeight = height() - design.height();
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        QRect place = FormTemplate::Place(DluToPixels(control.dlu, m_units), control.anchor, extraWidth, extraHeight);
        if (control.kind == FormTemplate::Kind::ModeSelector) // the template's height includes the list
            place.setHeight(m_modeSelector->sizeHint().height());
        m_controls.value(control.id)->setGeometry(place);
    }
}

void CVelmorixView::resizeEvent(QResizeEvent* event)
{
    CColorFormView::resizeEvent(event);
    LayOut();
}

CColorLabel* CVelmorixView::Label(int id) const
{
    return qobject_cast<CColorLabel*>(m_controls.value(id));
}

CBitmapButton* CVelmorixView::Button(int id) const
{
    return qobject_cast<CBitmapButton*>(m_controls.value(id));
}

void CVelmorixView::OnInitialUpdate()
{
    SetBackgroundColor(kFormBackground);
    update();

    // The record stores and the database file cache, for both panes.
    if (const std::string error = m_session.init(); !error.empty())
        QMessageBox::critical(this, QStringLiteral("Velmorix"),
                              QStringLiteral("The recordings cannot be worked on: %1").arg(QString::fromStdString(error)));

    m_headerFont = BlackArial(25);
    m_pathFont = BlackArial(15);
    m_timeFont = BlackArial(20);
    m_detailsFont = BlackArial(20);
    CColorLabel* header = Label(ControlId::kHeaderLabel);
    header->setFont(m_headerFont);
    header->gradientFrom = kBlack;
    CColorLabel* path = Label(ControlId::kPathLabel);
    path->setFont(m_pathFont);
    path->gradientFrom = kRed;
    path->gradientTo = kBlack;
    path->textColor = kWhite;
    path->alignment = 1;
    path->SetText(QStringLiteral("<< Load Path >>"));
    for (const int id : kDetailsLineIds)
        Label(id)->gradientFrom = kWhite;
    Label(ControlId::kTimeLabel)->gradientFrom = kWhite;
    for (const int id : {ControlId::kLeftCaption, ControlId::kRightCaption}) {
        CColorLabel* caption = Label(id);
        caption->gradientFrom = 0x008000;
        caption->gradientTo = kBlack;
        caption->textColor = kWhite;
        caption->alignment = 1;
        caption->SetText(QString());
    }

    SetRecordColumns();

    m_markBar->Initialise(0.0f, 100.0f, 10, 2, nullptr, kMarkColors, kMarkStyle);

    m_slider->SetChannelBitmaps(QStringLiteral("132"), QStringLiteral("133"), false);
    m_slider->SetThumbBitmaps(QStringLiteral("135"), QStringLiteral("136"), true, CSkinSlider::kSampleColor, 0, 0);
    m_slider->SetMargins(2, 3, 2, 0);
    m_slider->SetShowFocus(false, false);
    m_slider->Enable(false);

    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        if (control.kind == FormTemplate::Kind::Button)
            Button(control.id)->LoadBitmaps(QString::fromLatin1(control.caption));
    }
    for (const int id : {ControlId::kCut, ControlId::kTransferLeftToRight, ControlId::kTransferRightToLeft})
        Button(id)->setEnabled(false); // they wait for a selection
    for (const int id : {ControlId::kChooseJpegFiles, ControlId::kChooseMp3Files})
        Button(id)->setEnabled(false); // they belong to the MP3 and JPEG modes

    m_modeSelector->clear();
    m_modeSelector->addItems({QStringLiteral("RECORD MODE"), QStringLiteral("MP3 MODE"), QStringLiteral("JPEG MODE")});
    m_modeSelector->setCurrentIndex(0);
    LayOut(); // the slider took its bitmap's size
    FitModeSelectorText();
}

void CVelmorixView::FitModeSelectorText()
{
    // The template's drop-down is narrow for "RECORD MODE" in the form's font: narrow the letters
    // rather than cut the text.
    QFont font = this->font();
    for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed), int(QFont::Condensed)}) {
        font.setStretch(stretch);
        m_modeSelector->setFont(font);
        if (m_modeSelector->sizeHint().width() <= m_modeSelector->width())
            return;
    }
}

void CVelmorixView::SetRecordColumns()
{
    const QStringList titles{QStringLiteral("No"), QStringLiteral("CHANNEL NAME"), QStringLiteral("DURATION")};
    const int widths[] = {40, 180, 112};
    for (QTableWidget* pane : {m_leftPane, m_rightPane}) {
        pane->clear();
        pane->setRowCount(0);
        pane->setColumnCount(int(titles.size()));
        pane->setHorizontalHeaderLabels(titles);
        pane->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
        for (int column = 0; column < int(titles.size()); ++column)
            pane->setColumnWidth(column, widths[column]);
    }
}

void CVelmorixView::ReleaseRecordStores()
{
    m_session.release();
}
