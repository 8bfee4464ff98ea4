#include "form1.h"

#include "browser/browser.h"
#include "core/domain_field.h"
#include "window_icon.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>

namespace korvane {

namespace {

// Colours of the design, from their 0x00BBGGRR values.
QColor fromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel *makeLabel(QWidget *parent, const QString &text, int left, int top, int width, int height)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    place(label, left, top, width, height);
    return label;
}

// A push button that shows keyboard focus as a dotted frame inside its edge. The style's own
// focus mark is the same outline as the default button's, so focus on the default button
// (分析) would not show at all. Like the style's marks, the frame appears once the keyboard
// has moved the focus; for the mouse user the buttons look as before.
class CommandButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPushButton::paintEvent(event);
        if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
            return;
        QPainter painter(this);
        QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
    }
};

QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

} // namespace

void installFontSubstitutions()
{
    const QStringList faces = {QStringLiteral("Noto Sans Mono CJK SC"),
                               QStringLiteral("Noto Sans Mono CJK TC"),
                               QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), faces);
}

bool installQtTranslation(const QString &directory)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), directory)
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

QFont songTi(int pointSize, bool bold, bool underline)
{
    QFont font(QStringLiteral("宋体"), pointSize, bold ? QFont::Bold : QFont::Normal);
    font.setUnderline(underline);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

void DomainField::mousePressEvent(QMouseEvent *event)
{
    const auto edit = OnDomainFieldMouseDown(text());
    QLineEdit::mousePressEvent(event);
    if (edit) {
        setText(edit->text);
        setCursorPosition(edit->cursor);
    }
}

Form1::Form1(Browser &browser, Origins origins, QWidget *parent)
    : QWidget(parent)
    , m_exit([] { QCoreApplication::exit(0); })
    , m_logic(*this, browser, std::move(origins))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvane-2011圣诞版"));
    setWindowIcon(makeWindowIcon());
    setFont(songTi(9));
    setFixedSize(twipsToPixels(9915), twipsToPixels(7575));

    Text1 = new DomainField(domainPlaceholder(), this);
    place(Text1, 1200, 240, 3015, 375);
    setTextColour(Text1, QApplication::palette().color(QPalette::WindowText));

    Text2 = new QLineEdit(this);
    place(Text2, 240, 7680, 6375, 375);
    Text2->hide();

    Label1 = makeLabel(this, QStringLiteral("站点域名:"), 240, 360, 975, 255);

    TextResult = new QPlainTextEdit(this);
    place(TextResult, 240, 1680, 9375, 5295);
    TextResult->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextResult->setReadOnly(true);
    TextResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTextColour(TextResult, fromBgr(0x00C00000));

    Label3 = makeLabel(this, QStringLiteral("分析结果:"), 240, 1320, 855, 255);

    CmdOk = new CommandButton(QStringLiteral("分析"), this);
    place(CmdOk, 4440, 120, 975, 975);
    CmdOk->setDefault(true);

    cmdCancel = new CommandButton(QStringLiteral("退出"), this);
    place(cmdCancel, 5640, 120, 975, 975);

    Label2 = makeLabel(this, QStringLiteral("外链总数:"), 240, 840, 855, 255);

    textLinkCount = new QLineEdit(QStringLiteral("0"), this);
    place(textLinkCount, 1200, 720, 855, 390);
    textLinkCount->setFont(songTi(12, true));
    textLinkCount->setReadOnly(true);
    setTextColour(textLinkCount, fromBgr(0x00FF0000));

    Label4 = makeLabel(this, QStringLiteral("站点数量:"), 2520, 840, 975, 255);

    textSiteCount = new QLineEdit(QStringLiteral("0"), this);
    place(textSiteCount, 3480, 720, 735, 390);
    textSiteCount->setFont(songTi(12, true));
    textSiteCount->setReadOnly(true);
    setTextColour(textSiteCount, fromBgr(0x00FF0000));

    lbTip = makeLabel(this, QStringLiteral("暂无提示信息！"), 1320, 1320, 5535, 255);
    setTextColour(lbTip, fromBgr(0x000000FF));

    for (int i = 0; i < kLinkLabelCount; ++i) {
        QLabel *label = makeLabel(this, QString(), 9960, 7080, 600, 255);
        label->setObjectName(QStringLiteral("lbLink_%1").arg(i));
        label->setFont(songTi(9, false, true));
        label->setCursor(Qt::ArrowCursor);
        setTextColour(label, fromBgr(0x00FF0000));
        label->installEventFilter(this);
        label->hide();
        lbLink[i] = label;
    }
    updateLinkLabel(0, templateLinkLabel());

    Label5 = makeLabel(this, QStringLiteral("Korvane 外链分析工具"), 7080, 240, 2655, 255);
    Label6 = makeLabel(this, QStringLiteral("邮箱：support@korvane.org"), 7080, 600, 2535, 255);
    Label7 = makeLabel(this, QStringLiteral("电话：暂未开通"), 7080, 960, 2655, 255);

    // Tab order as designed.
    const QList<QWidget *> order = {Text1, Text2, TextResult, CmdOk, cmdCancel,
                                    textLinkCount, textSiteCount};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(CmdOk, &QPushButton::clicked, this, [this] { m_logic.OnAnalyseClick(); });
    // Enter in the domain field (main keyboard or keypad) is a click on the default button.
    connect(Text1, &QLineEdit::returnPressed, CmdOk, &QPushButton::click);
    connect(cmdCancel, &QPushButton::clicked, this, &Form1::OnExitClick);
}

Form1::~Form1()
{
    // The logic refers to this view; it must not hear from the browser any more.
    m_logic.disconnect();
}

void Form1::load()
{
    m_logic.OnWindowLoad();
}

void Form1::OnExitClick()
{
    if (m_exit)
        m_exit();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        for (int i = 0; i < kLinkLabelCount; ++i) {
            if (watched == lbLink[i] && mouse->button() == Qt::LeftButton
                && lbLink[i]->rect().contains(mouse->position().toPoint())) {
                m_logic.OnLinkLabelClick(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString Form1::domainText() const { return Text1->text(); }
QString Form1::markerText() const { return Text2->text(); }
void Form1::setMarkerText(const QString &text) { Text2->setText(text); }
QString Form1::resultText() const { return m_resultText; }

void Form1::setResultText(const QString &text)
{
    m_resultText = text;
    TextResult->setPlainText(displayText(text));
}

void Form1::setLinkCountText(const QString &text) { textLinkCount->setText(text); }
void Form1::setSiteCountText(const QString &text) { textSiteCount->setText(text); }
QString Form1::statusText() const { return lbTip->text(); }
void Form1::setStatusText(const QString &text) { lbTip->setText(text); }

void Form1::setMousePointer(int pointer)
{
    const bool busy = pointer == 11;
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        setCursor(Qt::WaitCursor);
        // A control with a pointer of its own would show it instead of the window's.
        const QList<QWidget *> controls = findChildren<QWidget *>();
        for (QWidget *control : controls) {
            if (control->testAttribute(Qt::WA_SetCursor)) {
                m_ownPointers.append({control, control->cursor()});
                control->setCursor(Qt::WaitCursor);
            }
        }
        return;
    }
    for (const auto &[control, cursor] : std::as_const(m_ownPointers)) {
        if (control)
            control->setCursor(cursor);
    }
    m_ownPointers.clear();
    unsetCursor();
}

void Form1::updateLinkLabel(int index, const LinkLabel &label)
{
    if (index < 0 || index >= kLinkLabelCount)
        return;
    QLabel *widget = lbLink[index];
    widget->setText(label.caption);
    widget->setToolTip(label.toolTip);
    place(widget, label.placeTwips.x(), label.placeTwips.y(), label.placeTwips.width(),
          label.placeTwips.height());
    widget->setVisible(label.visible);
}

void Form1::showMessage(const QString &text, const QString &caption)
{
    if (m_message) {
        m_message(text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void Form1::openExternal(const QString &address)
{
    if (m_open) {
        m_open(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

} // namespace korvane
