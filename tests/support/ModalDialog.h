// SPDX-License-Identifier: GPL-3.0-or-later
// Answers a modal dialog from inside its own event loop: a window under test
// opens the dialog with exec(), which returns only when the dialog closes,
// so the test's steps must already be queued when it opens. whenModalOpens
// waits for the first modal window of type T and runs `answer` on it; a
// dialog that never opens fails the test instead of hanging it.
#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

template <class T>
void whenModalOpens(QObject* context, std::function<void(T*)> answer, int timeoutMs = 5000)
{
    auto* timer = new QTimer(context);
    auto waited = std::make_shared<int>(0);
    constexpr int kStep = 10;
    QObject::connect(timer, &QTimer::timeout, context,
                     [timer, waited, answer = std::move(answer), timeoutMs]() {
                         *waited += kStep;
                         T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
                         if (!dialog) {
                             if (*waited >= timeoutMs) {
                                 timer->deleteLater();
                                 timer->stop();
                                 QFAIL("the expected modal dialog did not open");
                             }
                             return;
                         }
                         timer->stop();
                         timer->deleteLater();
                         answer(dialog);
                     });
    timer->start(kStep);
}
