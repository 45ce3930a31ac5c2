#include "keyring.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"Glimra"_s;

// The jobs answer through the event loop (QtKeychain talks D-Bus
// asynchronously); the wait is bounded, for a keyring that asks the user
// to unlock it and nobody answers.
bool RunJob(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(Keyring::kAnswerWaitMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished)
        loop.exec();
    return finished;
}

Keyring::Answer Outcome(const QKeychain::Job &job, bool finished)
{
    Keyring::Answer answer;
    if (!finished) {
        answer.problem = u"Der Schlüsselbund hat nicht rechtzeitig geantwortet."_s;
        return answer;
    }
    answer.reached = job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound;
    if (!answer.reached)
        answer.problem = u"Kein Schlüsselbund (Secret Service) erreichbar: %1"_s.arg(job.errorString());
    return answer;
}

} // namespace

namespace Keyring {

Answer Read(const QString &key)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    const bool finished = RunJob(job);
    Answer answer = Outcome(job, finished);
    if (answer.reached && job.error() == QKeychain::NoError)
        answer.password = job.textData();
    return answer;
}

Answer Write(const QString &key, const QString &password)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(password);
    const bool finished = RunJob(job);
    Answer answer = Outcome(job, finished);
    answer.reached = answer.reached && job.error() == QKeychain::NoError;
    return answer;
}

Answer Remove(const QString &key)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    const bool finished = RunJob(job);
    return Outcome(job, finished);
}

std::optional<QString> Unreachable()
{
    // Looking up an entry nobody stores needs no unlocked keyring and
    // changes nothing, yet proves that a keyring answers.
    const Answer answer = Read(u"/.Erreichbarkeit"_s);
    if (answer.reached)
        return std::nullopt;
    return answer.problem;
}

} // namespace Keyring
