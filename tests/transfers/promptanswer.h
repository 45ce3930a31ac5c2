#pragma once

// Answers the modal windows that the code under test opens with exec():
// a timer looks for the next modal window of the class and hands it to the
// answer, which must close it. Unlike ModalAnswer it answers every showing
// of a window that is reused, also when one question follows the other
// without a turn of the event loop in between. Header only.

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>

template <class Dialog> class PromptAnswer {
public:
    // answer gets the window and the number of windows answered before it.
    explicit PromptAnswer(std::function<void(Dialog &, int)> answer)
        : m_answer(std::move(answer))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    int Answered() const { return m_answered; }

private:
    void Poll()
    {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || m_busy)
            return;
        m_busy = true;
        m_answer(*dialog, m_answered++);
        m_busy = false;
    }

    std::function<void(Dialog &, int)> m_answer;
    int m_answered = 0;
    bool m_busy = false;
    QTimer m_timer;
};
