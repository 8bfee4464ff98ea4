#pragma once

#include "core/form_view.h"

namespace korvane {

// The window as plain strings, for the command line.
class CliView : public FormView
{
public:
    void setDomain(const QString &domain) { m_domain = domain; }

    QString domainText() const override { return m_domain; }
    QString markerText() const override { return m_marker; }
    void setMarkerText(const QString &text) override { m_marker = text; }
    QString resultText() const override { return m_result; }
    void setResultText(const QString &text) override { m_result = text; }
    void setLinkCountText(const QString &) override {}
    void setSiteCountText(const QString &) override {}
    QString statusText() const override { return m_status; }
    void setStatusText(const QString &text) override { m_status = text; }
    void setMousePointer(int) override {}
    void updateLinkLabel(int, const LinkLabel &) override {}
    void showMessage(const QString &, const QString &) override {}
    void openExternal(const QString &) override {}

private:
    QString m_domain;
    QString m_marker;
    QString m_result;
    QString m_status;
};

} // namespace korvane
