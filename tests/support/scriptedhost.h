#pragma once

#include "sessionhost.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A session host for engine tests: records what the session asks and tells,
// and answers prompts from prepared lists. Header only, so the support
// library itself stays free of the engine.
class ScriptedHost : public SessionHost {
public:
    struct Credentials {
        bool ok = false;
        QString user;
        QString password;
    };

    // Answers for AskCredentials, used in order; no answer left means cancel.
    QList<Credentials> credentialAnswers;
    QStringList credentialCaptions;
    bool acceptCertificate = false;
    QList<ServerCertificateInfo> certificateQuestions;
    QList<int> activity;
    int connectionLost = 0;
    // SslKeyPassword: whether the user was to be asked, and the user's answer.
    QList<bool> keyPasswordRequests;
    QString keyPasswordAnswer;
    QList<bool> transferActive;
    // AskHostKey: the keys asked about and the answer.
    QList<HostKeyInfo> hostKeyQuestions;
    HostKeyAnswer hostKeyAnswer = HostKeyAnswer::Refuse;
    // IdentityPassphrase: the key files asked about and the user's answer.
    QStringList passphraseRequests;
    QString passphraseAnswer;
    // Runs inside AskCredentials, before the answer is given.
    std::function<void()> onPrompt;

    void SetActivity(int code) override
    {
        if (activity.isEmpty() || activity.constLast() != code)
            activity.append(code);
    }

    bool AskCredentials(const QString &caption, QString &user, QString &password) override
    {
        credentialCaptions.append(caption);
        if (onPrompt)
            onPrompt();
        if (credentialAnswers.isEmpty())
            return false;
        const Credentials answer = credentialAnswers.takeFirst();
        if (answer.ok) {
            user = answer.user;
            password = answer.password;
        }
        return answer.ok;
    }

    void ConnectionLost() override { ++connectionLost; }

    void SetTransferActive(bool active) override { transferActive.append(active); }

    QString SslKeyPassword(bool askUser, const QString &storedPassword) override
    {
        keyPasswordRequests.append(askUser);
        return askUser ? keyPasswordAnswer : storedPassword;
    }

    bool AcceptServerCertificate(const ServerCertificateInfo &certificate) override
    {
        certificateQuestions.append(certificate);
        return acceptCertificate;
    }

    HostKeyAnswer AskHostKey(const HostKeyInfo &key) override
    {
        hostKeyQuestions.append(key);
        return hostKeyAnswer;
    }

    QString IdentityPassphrase(const QString &keyFile, bool askUser, const QString &storedPassphrase) override
    {
        if (!askUser)
            return storedPassphrase;
        passphraseRequests.append(keyFile);
        return passphraseAnswer;
    }
};
