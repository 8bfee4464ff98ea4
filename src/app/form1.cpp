#include "form1.h"

#include "browser/browser.h"
#include "core/domain_field.h"
#include "core/texts.h"
#include "export/exporter.h"
#include "window_icon.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
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

// The export's formats as the save dialog offers them, CSV first (the default).
struct ExportChoice
{
    QString filter;
    QString suffix;
    ExportFormat format;
};
const std::array<ExportChoice, 4> &exportChoices()
{
    static const std::array<ExportChoice, 4> choices{{
        {QStringLiteral("CSV 文件 (*.csv)"), QStringLiteral("csv"), ExportFormat::Csv},
        {QStringLiteral("JSON 文件 (*.json)"), QStringLiteral("json"), ExportFormat::Json},
        {QStringLiteral("文本文件 (*.txt)"), QStringLiteral("txt"), ExportFormat::Text},
        {QStringLiteral("HTML 报告 (*.html *.htm)"), QStringLiteral("html"), ExportFormat::Html},
    }};
    return choices;
}

// The choice whose ending `suffix` is (any case; ".htm" is HTML too), or null.
const ExportChoice *choiceBySuffix(const QString &suffix)
{
    const bool htm = suffix.compare(QLatin1String("htm"), Qt::CaseInsensitive) == 0;
    for (const ExportChoice &choice : exportChoices()) {
        if (choice.suffix.compare(htm ? QStringLiteral("html") : suffix, Qt::CaseInsensitive) == 0)
            return &choice;
    }
    return nullptr;
}

// "<domain>-<yyyyMMdd-HHmm>.csv", with what a file name cannot hold replaced by "_".
QString defaultExportName(const QString &domain, const QDateTime &startedAt)
{
    QString name = domain.trimmed();
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("korvane"));
    return name + QLatin1Char('-') + startedAt.toString(QStringLiteral("yyyyMMdd-HHmm")) + QStringLiteral(".csv");
}

} // namespace

void installFontSubstitutions()
{
    const QStringList faces = {QStringLiteral("Noto Sans Mono CJK SC"),
                               QStringLiteral("Noto Sans Mono CJK TC"),
                               QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), faces);
#ifdef Q_OS_WIN
    QFont::insertSubstitutions(QStringLiteral("新宋体"), QStringList{QStringLiteral("NSimSun")} + faces);
#endif
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

QFont reportFont()
{
#ifdef Q_OS_WIN
    QFont font(QStringLiteral("新宋体"), 9);
    font.setStyleHint(QFont::TypeWriter);
    return font;
#else
    return songTi(9);
#endif
}

QString aboutText(const Origins &origins)
{
    return QStringLiteral("Korvane %1\n搜索引擎：%2\n通知服务器：%3\n主页：%4")
        .arg(QStringLiteral(KORVANE_VERSION), origins.engine, origins.notice, QStringLiteral(KORVANE_HOMEPAGE));
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

bool DomainField::holdsUntouchedPlaceholder() const
{
    return !isModified() && OnDomainFieldMouseDown(text()).has_value();
}

// What a mouse press does to the placeholder.
void DomainField::clearPlaceholder()
{
    if (const auto edit = OnDomainFieldMouseDown(text())) {
        setText(edit->text);
        setCursorPosition(edit->cursor);
    }
}

void DomainField::keyPressEvent(QKeyEvent *event)
{
    if (holdsUntouchedPlaceholder()) {
        if (event->matches(QKeySequence::Paste)) {
            // What is pasted is taken for the whole domain. An empty clipboard changes nothing.
            if (!QGuiApplication::clipboard()->text().isEmpty())
                selectAll();
        } else if (const QString typed = event->text();
                   !typed.isEmpty() && typed.at(0).isPrint()
                   && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
            // A key that types a character (the keypad's included); keys that move the
            // insertion point, delete or select, and shortcuts, leave the placeholder alone.
            clearPlaceholder();
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DomainField::inputMethodEvent(QInputMethodEvent *event)
{
    if (holdsUntouchedPlaceholder() && (!event->commitString().isEmpty() || !event->preeditString().isEmpty()))
        clearPlaceholder();
    QLineEdit::inputMethodEvent(event);
}

Form1::Form1(Browser &browser, Origins origins, QWidget *parent)
    : QWidget(parent)
    , m_exit([] { QCoreApplication::exit(0); })
    , m_saveDialog([this](const QString &suggested, const QStringList &filters, QString *selected) {
        return runSaveDialog(suggested, filters, selected);
    })
    , m_wallClock([] { return QDateTime::currentDateTime(); })
    , m_engine(origins.engine)
    , m_notice(origins.notice)
    , m_browser(browser)
    , m_logic(*this, m_browser, std::move(origins))
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
    TextResult->setFont(reportFont());
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
    setUpReportMenu();
}

void Form1::setUpReportMenu()
{
    m_reportMenu = new QMenu(this);
    QAction *copy = m_reportMenu->addAction(QStringLiteral("复制"), TextResult, &QPlainTextEdit::copy);
    copy->setEnabled(false);
    connect(TextResult, &QPlainTextEdit::copyAvailable, copy, &QAction::setEnabled);
    m_reportMenu->addAction(QStringLiteral("全选"), TextResult, &QPlainTextEdit::selectAll);
    m_reportMenu->addSeparator();
    m_exportAction = m_reportMenu->addAction(QStringLiteral("导出…"), this, &Form1::exportAnalysis);
    m_exportAction->setShortcut(QKeySequence::Save);
    m_exportAction->setEnabled(false);
    addAction(m_exportAction); // Ctrl+S anywhere in the window
    m_reportMenu->addSeparator();
    m_aboutAction = m_reportMenu->addAction(QStringLiteral("关于 Korvane…"), this, [this] {
        showMessage(aboutText({m_engine, m_notice}), QStringLiteral("关于 Korvane"));
    });

    TextResult->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TextResult, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_reportMenu->popup(TextResult->viewport()->mapToGlobal(pos));
    });

    connect(&m_logic, &Form1Logic::analysisStarted, this, [this] {
        m_exportAction->setEnabled(false);
        m_browser.resetCounts();
        m_analysedDomain = Text1->text();
        m_startedAt = m_wallClock();
        m_finishedAt = QDateTime();
        lbTip->setToolTip(QString());
    });
    connect(&m_logic, &Form1Logic::analysisFinished, this, [this] {
        m_finishedAt = m_wallClock();
        m_exportAction->setEnabled(true);
        showFailureTip();
    });
    connect(&m_logic, &Form1Logic::walkStopped, this, &Form1::showFailureTip);
}

// The save dialog: picking a filter puts its ending on the name, so that the name shown, the
// format written and the file the dialog asks about overwriting are the same.
QString Form1::runSaveDialog(const QString &suggested, const QStringList &filters, QString *selectedFilter)
{
    QFileDialog dialog(this, QStringLiteral("导出"), QFileInfo(suggested).absolutePath(), filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectNameFilter(*selectedFilter);
    dialog.selectFile(QFileInfo(suggested).fileName());
    dialog.setDefaultSuffix(exportChoices()[0].suffix);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, suggested](const QString &filter) {
        for (const ExportChoice &choice : exportChoices()) {
            if (choice.filter != filter)
                continue;
            dialog.setDefaultSuffix(choice.suffix);
            const QFileInfo name(dialog.selectedFiles().value(0, suggested));
            if (choiceBySuffix(name.suffix()))
                dialog.selectFile(name.completeBaseName() + QLatin1Char('.') + choice.suffix);
        }
    });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().value(0);
}

void Form1::exportAnalysis()
{
    if (m_logic.record().State != texts::stateComp())
        return;

    QStringList filters;
    for (const ExportChoice &choice : exportChoices())
        filters.append(choice.filter);
    if (m_exportFolder.isEmpty())
        m_exportFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(m_exportFolder).filePath(defaultExportName(m_analysedDomain, m_startedAt));
    QString selected = filters[0];
    QString path = m_saveDialog ? m_saveDialog(suggested, filters, &selected) : QString();
    if (path.isEmpty())
        return;

    // The format follows the name's ending; a name without a known one takes the filter's.
    const ExportChoice *choice = choiceBySuffix(QFileInfo(path).suffix());
    if (!choice) {
        choice = &exportChoices()[qMax(0, int(filters.indexOf(selected)))];
        path += QLatin1Char('.') + choice->suffix;
    }

    FinishedAnalysis analysis;
    analysis.domain = m_analysedDomain;
    analysis.engine = m_engine;
    analysis.startedAt = m_startedAt;
    analysis.finishedAt = m_finishedAt;
    analysis.status = statusText();
    analysis.report = m_resultText;
    analysis.record = m_logic.record();
    analysis.pagesRequested = m_browser.pagesRequested();
    analysis.pagesRead = m_browser.pagesRead();
    analysis.failure = failureOf(analysis);

    QString error;
    if (!saveExport(path, exportDocument(analysis, {choice->format, true}), &error)) {
        showMessage(QStringLiteral("无法导出到 %1：%2").arg(QDir::toNativeSeparators(path), error),
                    QStringLiteral("导出"));
        return;
    }
    m_exportFolder = QFileInfo(path).absolutePath();
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
// Why the analysis ended incomplete, in one line, on the status line's tooltip; none when it
// completed. The status line itself stays as the walk left it.
void Form1::showFailureTip()
{
    const AnalysisRecord &record = m_logic.record();
    lbTip->setToolTip(outcomeOf(record) == AnalysisOutcome::Complete ? QString() : record.FailureReason);
}

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
