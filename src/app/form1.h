#pragma once

#include "core/form_view.h"
#include "crawl/addresses.h"
#include "crawl/form1_logic.h"
#include "crawl/metered_browser.h"

#include <QCursor>
#include <QDateTime>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace korvane {

class Browser;

// The domain field: clears its placeholder on the first mouse press, leaving the insertion
// point between "www." and ".com". The keyboard gets there too: while the field holds the
// placeholder as it was put there (not typed back in by the user), the first key or input
// method text that would type something clears it the same way first, and a paste replaces
// it whole.
class DomainField : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool holdsUntouchedPlaceholder() const;
    void clearPlaceholder();
};

// The one window of the program. Widgets only: the behaviour lives in Form1Logic, which
// drives the window through FormView.
class Form1 : public QWidget, public FormView
{
    Q_OBJECT
public:
    Form1(Browser &browser, Origins origins, QWidget *parent = nullptr);
    ~Form1() override;

    // The window's load: runs once, before the window is first shown.
    void load();

    Form1Logic &logic() { return m_logic; }

    // What Exit ("退出") does; by default it ends the program at once.
    void setExitHandler(std::function<void()> handler) { m_exit = std::move(handler); }
    // What a message box does (tests replace the modal box).
    void setMessageHandler(std::function<void(const QString &, const QString &)> handler)
    {
        m_message = std::move(handler);
    }
    // What opening a link does (tests replace the desktop's browser).
    void setOpenHandler(std::function<void(const QString &)> handler) { m_open = std::move(handler); }

    // Export of the last analysis ("导出…" in the report box's menu, Ctrl+S): enabled once an
    // analysis has reached "COMP", until the next one starts.
    QMenu *reportMenu() const { return m_reportMenu; }
    QAction *exportAction() const { return m_exportAction; }
    // "关于 Korvane…" in the same menu: the version, the servers and the homepage, shown
    // through showMessage().
    QAction *aboutAction() const { return m_aboutAction; }
    // The save dialog: gets the suggested path and the filters (the selected one in
    // *selectedFilter), returns the chosen path or an empty text. By default the modal file
    // dialog; tests put in one that answers at once.
    using SaveDialog = std::function<QString(const QString &suggested, const QStringList &filters, QString *selectedFilter)>;
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // The date and time an analysis starts and ends at (tests pin it).
    void setWallClock(std::function<QDateTime()> clock) { m_wallClock = std::move(clock); }

    // FormView
    QString domainText() const override;
    QString markerText() const override;
    void setMarkerText(const QString &text) override;
    QString resultText() const override;
    void setResultText(const QString &text) override;
    void setLinkCountText(const QString &text) override;
    void setSiteCountText(const QString &text) override;
    QString statusText() const override;
    void setStatusText(const QString &text) override;
    void setMousePointer(int pointer) override;
    void updateLinkLabel(int index, const LinkLabel &label) override;
    void showMessage(const QString &text, const QString &caption) override;
    void openExternal(const QString &address) override;

    // Controls, by their names in the window's design.
    DomainField *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *TextResult = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *CmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *textLinkCount = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *textSiteCount = nullptr;
    QLabel *lbTip = nullptr;
    std::array<QLabel *, kLinkLabelCount> lbLink{};
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnExitClick();
    void setUpReportMenu();
    void exportAnalysis();
    QString runSaveDialog(const QString &suggested, const QStringList &filters, QString *selectedFilter);
    void showFailureTip();

    bool m_busy = false; // the pointer is the hourglass (11)
    // The controls that have a pointer of their own (the text boxes' I-beam, the link labels'
    // arrow), with that pointer, while the hourglass covers them.
    QList<QPair<QPointer<QWidget>, QCursor>> m_ownPointers;
    QString m_resultText; // the report box's text exactly as set (CR LF kept)
    std::function<void()> m_exit;
    std::function<void(const QString &, const QString &)> m_message;
    std::function<void(const QString &)> m_open;
    SaveDialog m_saveDialog;
    std::function<QDateTime()> m_wallClock;

    // The analysis as export needs it, beside what the logic keeps.
    QString m_engine;
    QString m_notice;
    QString m_analysedDomain;
    QDateTime m_startedAt;
    QDateTime m_finishedAt;
    QString m_exportFolder;

    QMenu *m_reportMenu = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_aboutAction = nullptr;

    MeteredBrowser m_browser; // in front of the browser given: counts the pages of an analysis
    Form1Logic m_logic;
};

// Twips to pixels at 96 dots per inch (15 twips to a pixel).
constexpr int twipsToPixels(int twips) { return (twips + 7) / 15; }

// The window's face: "宋体" resolves to a CJK face whose Latin letters are exactly half as
// wide as a Chinese character, so the report's columns line up. Call once after the
// application object exists.
void installFontSubstitutions();
// Qt's own texts in the window (a message box's button, the text boxes' context menus) in
// Simplified Chinese like all the others, whatever the system's locale: installs Qt's
// translation qtbase_zh_CN from `directory`. Returns false, and Qt's texts stay English, when
// the file is missing or unreadable. Call once after the application object exists.
bool installQtTranslation(
    const QString &directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath));
QFont songTi(int pointSize, bool bold = false, bool underline = false);
// The report box's face, whose columns must line up: the window's own face on Debian; on
// Windows 新宋体 (NSimSun), the monospaced 宋体 that every Chinese Windows has.
QFont reportFont();
// What "关于 Korvane…" shows: the version, the search engine and notice server the window
// talks to, and the homepage, one a line.
QString aboutText(const Origins &origins);

} // namespace korvane
