#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>

// Answers modal dialogs that the code under test opens with exec(): a timer
// watches for the next modal window of the given class and hands it to the
// answer, which must close it. The returned counter says how many answered.
template <class Dialog> class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(Dialog &)> answer, int times = 1)
        : m_answer(std::move(answer))
        , m_remaining(times)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    int Answered() const { return m_answered; }

private:
    void Poll()
    {
        QWidget *active = QApplication::activeModalWidget();
        if (active != m_lastAnswered)
            m_lastAnswered = nullptr;
        auto *dialog = qobject_cast<Dialog *>(active);
        if (!dialog || dialog == m_lastAnswered || m_remaining == 0)
            return;
        // A dialog that stays open after the answer must not be answered twice.
        m_lastAnswered = dialog;
        ++m_answered;
        --m_remaining;
        m_answer(*dialog);
    }

    std::function<void(Dialog &)> m_answer;
    int m_remaining;
    int m_answered = 0;
    QPointer<Dialog> m_lastAnswered;
    QTimer m_timer;
};
