#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zorvane::app {

// Every modal message of the program goes through here, so a test can answer it.
using MessageHandler = std::function<void(QWidget *parent, const QString &text)>;

// The same for a test that also reads the informative text below the message.
using DetailedMessageHandler =
    std::function<void(QWidget *parent, const QString &text, const QString &informativeText)>;

// Replaces the real modal box; an empty handler brings it back.
void setMessageHandler(MessageHandler handler);
void setDetailedMessageHandler(DetailedMessageHandler handler);

// An information box with the text, an optional informative text below it and one OK button;
// returns when it is closed.
void showMessage(QWidget *parent, const QString &text, const QString &informativeText = {});

} // namespace zorvane::app
