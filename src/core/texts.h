#pragma once

#include <QString>

// The program's own texts, as the user sees them.
namespace korvane::texts {

inline QString stateIniting() { return QStringLiteral("INITING"); }
inline QString stateInited() { return QStringLiteral("INITED"); }
inline QString stateAnaing() { return QStringLiteral("ANAING"); }
inline QString stateComp() { return QStringLiteral("COMP"); }

inline QString statusIniting() { return QStringLiteral("程序正在初始化，请等待片刻..."); }
inline QString statusInited() { return QStringLiteral("输入您的域名，点击“分析”按钮！"); }
inline QString statusAnaing() { return QStringLiteral("正在进行分析，请等待..."); }
inline QString statusComp() { return QStringLiteral("分析已完成！"); }

// Completion message of a walk that ended on a page that could not be loaded or read.
inline QString pageErrorMessage()
{
    return QStringLiteral("分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！");
}
// Completion message of a walk that the engine stopped with a verification page.
inline QString refusalMessage() { return QStringLiteral("分析中止，搜索引擎要求安全验证，请稍后再试！"); }
// Completion message of a walk that an unexpected failure stopped before its report.
inline QString stoppedMessage() { return QStringLiteral("分析中止，出现了意外的错误，您可以尝试再次分析！"); }
// Completion message of an analysis whose pages the program could not read as results pages.
inline QString unreadableMessage() { return QStringLiteral("分析中止，搜索引擎的页面格式无法识别！"); }
// Completion message when no linking site was found.
inline QString noSiteMessage() { return QStringLiteral("分析已完成，未找到外链网站！"); }

// Caption of the update-notice message box.
inline QString applicationTitle() { return QStringLiteral("工程1"); }

} // namespace korvane::texts
