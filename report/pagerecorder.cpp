#include "report/pagerecorder.h"

#include "report/textmeasure.h"

namespace report {

PageRecorder::PageRecorder() = default;

PageRecorder::~PageRecorder() = default;

void PageRecorder::append(std::unique_ptr<TDrawCmd> command)
{
    command->Page = m_pageCount;
    m_current->push_back(std::move(command));
}

RecordedPage PageRecorder::PageCommands(int page) const
{
    if (page == m_pageCount)
        return {m_current, m_store.commandCount()};
    return m_store.page(page);
}

void PageRecorder::Line(double X1, double Y1, double X2, double Y2)
{
    auto line = std::make_unique<TLineCmd>();
    line->X1 = X1;
    line->Y1 = Y1;
    line->X2 = X2;
    line->Y2 = Y2;
    line->PenWidth = PenWidth;
    append(std::move(line));
}

namespace {

template <typename Command>
std::unique_ptr<Command> boxLike(double x1, double y1, double x2, double y2, double penWidth,
                                 const ReportBrush &brush)
{
    auto box = std::make_unique<Command>();
    box->X1 = x1;
    box->Y1 = y1;
    box->X2 = x2;
    box->Y2 = y2;
    box->PenWidth = penWidth;
    box->BrushStyle = brush.style;
    box->BrushColor = brush.color;
    return box;
}

} // namespace

void PageRecorder::Box(double X1, double Y1, double X2, double Y2)
{
    append(boxLike<TBoxCmd>(X1, Y1, X2, Y2, PenWidth, m_brush));
}

void PageRecorder::Ellipse(double X1, double Y1, double X2, double Y2)
{
    append(boxLike<TEllipseCmd>(X1, Y1, X2, Y2, PenWidth, m_brush));
}

quint16 PageRecorder::textFlags() const
{
    quint16 flags = 0;
    if (WordWrap)
        flags |= dt::WordBreak;
    if (!ClipText)
        flags |= dt::NoClip;
    if (m_alignment == taCenter)
        flags |= dt::Center;
    if (m_alignment == taRightJustify)
        flags |= dt::Right;
    if (CenterVertically)
        flags |= dt::VCenter | dt::SingleLine;
    return flags;
}

std::unique_ptr<TTextBoxCmd> PageRecorder::textBox(const QString &text, double x1, double y1,
                                                   double x2, double y2) const
{
    auto box = boxLike<TTextBoxCmd>(x1, y1, x2, y2, PenWidth, m_brush);
    box->Text = text;
    box->Font = m_font;
    box->Margin = TextMargin;
    box->DrawBox = DrawBox;
    box->Flags = textFlags();
    return box;
}

void PageRecorder::TextRect(const QString &Text, double X1, double Y1, double X2, double Y2)
{
    append(textBox(Text, X1, Y1, X2, Y2));
}

void PageRecorder::StrRect(const QString &Text, double X1, double Y1, double X2, double Y2)
{
    if (!Text.isEmpty())
        TextRect(Text, X1, Y1, X2, Y2);
}

void PageRecorder::RotateText(const QString &Text, double X, double Y, double Angle)
{
    auto text = std::make_unique<TRotateTextCmd>();
    text->X = X;
    text->Y = Y;
    text->Text = Text;
    text->Font = m_font;
    text->Angle = Angle;
    append(std::move(text));
}

void PageRecorder::GraphicImage(const QImage &Bitmap, double X, double Y)
{
    SizedImage(Bitmap, X, Y, X + Bitmap.width() * 0.01, Y + Bitmap.height() * 0.01);
}

void PageRecorder::SizedImage(const QImage &Bitmap, double X1, double Y1, double X2, double Y2)
{
    auto picture = std::make_unique<TGraphicCmd>();
    picture->X1 = X1;
    picture->Y1 = Y1;
    picture->X2 = X2;
    picture->Y2 = Y2;
    // QImage shares its pixels until one side writes, so this is the command's own copy:
    // the caller may change or free its bitmap afterwards.
    picture->Graphic = Bitmap;
    append(std::move(picture));
}

void PageRecorder::StartMultiLine(double X, double Y)
{
    MultiX = X;
    MultiY = Y;
}

void PageRecorder::AddLine(const QString &S)
{
    if (S.isEmpty())
        return;
    auto box = boxLike<TTextBoxCmd>(MultiX, MultiY, m_phyWidth * 0.1, m_phyHeight * 0.1, PenWidth,
                                    m_brush);
    box->Text = S;
    box->Font = m_font;
    box->Margin = 0;
    box->DrawBox = false;
    box->Flags = dt::NoClip;
    append(std::move(box));
    MultiY += m_font.size / 72.0;
}

void PageRecorder::NewPage()
{
    // The store takes the list itself, so a view of the page taken while it was recorded
    // stays valid.
    m_store.append(std::move(m_current));
    m_current = std::make_shared<PageCommandList>();
    ++m_pageCount;
    PageFinished(m_pageCount - 1);
}

double PageRecorder::GetTextHeight(const QString &S) const
{
    Q_UNUSED(S);
    return textHeightInches(m_font);
}

double PageRecorder::GetTextWidth(const QString &S) const
{
    return textWidthInches(m_font, S);
}

void PageRecorder::SetPhyWidth(int value)
{
    if (value == m_phyWidth)
        return;
    m_phyWidth = value;
    SetPageSize(value * 0.1, m_pageHeight);
}

void PageRecorder::SetPhyHeight(int value)
{
    if (value == m_phyHeight)
        return;
    m_phyHeight = value;
    SetPageSize(m_pageWidth, value * 0.1);
}

void PageRecorder::SetPageSize(double Width, double Height)
{
    m_pageWidth = Width;
    m_pageHeight = Height;
}

void PageRecorder::discardCommands()
{
    m_store.clear();
    m_current = std::make_shared<PageCommandList>();
}

void PageRecorder::restartRecording()
{
    discardCommands();
    m_pageCount = 1;
    SetPageSize(m_phyWidth * 0.1, m_phyHeight * 0.1);
}

void PageRecorder::resetRecording()
{
    discardCommands();
    const QColor colour = m_font.color;
    m_font = ReportFont();
    m_font.color = colour;
    TextMargin = 0.025;
    PenWidth = 0.01;
    DrawBox = false;
    MultiX = 0;
    MultiY = 0;
    WordWrap = true;
    m_pageCount = 1;
}

void PageRecorder::Build(const std::function<void(PageRecorder &)> &build)
{
    restartRecording();
    if (build)
        build(*this);
}

} // namespace report
