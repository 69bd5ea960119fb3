#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

// Shows an error that no command caught: the general error report.
void reportGeneralError(const QString &text);

// The text of the general error report: a full stop is added unless the text is empty or
// ends in a control character, a blank or one of ! " # $ % & ' ( ) * + , - .
QString generalErrorText(const QString &text);

// Runs one entry point from Qt. An exception ends it and reaches the general error report;
// none crosses the event loop.
template <typename F> void guarded(F &&f)
{
    try {
        std::forward<F>(f)();
    } catch (const std::exception &e) {
        reportGeneralError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportGeneralError(QStringLiteral("Unexpected error"));
    }
}
