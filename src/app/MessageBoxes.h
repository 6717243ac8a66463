#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zorvane::app {

// Every modal message of the program goes through here, so a test can answer it.
using MessageHandler = std::function<void(QWidget *parent, const QString &text)>;

// Replaces the real modal box; an empty handler brings it back.
void setMessageHandler(MessageHandler handler);

// An information box with the text and one OK button; returns when it is closed.
void showMessage(QWidget *parent, const QString &text);

} // namespace zorvane::app
