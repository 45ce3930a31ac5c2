// The published connection list merged into a connection tree: whatever
// the list holds, nothing is written outside the tree, and every entry the
// merge reports as new can be read from the tree afterwards.
#include "listmerge.h"
#include "connectionlist.h"
#include "connectiontreestore.h"
#include "fuzzsupport.h"
#include "tinifile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

class AnsweringHost : public ListMergeHost {
public:
    explicit AnsweringHost(uint8_t answers)
        : m_answers(answers)
    {
    }

    EntryAnswer AskToAdd(const ListedConnection &entry) override
    {
        offered.append(entry);
        const int answer = (m_answers >> (2 * (m_asked++ % 4))) & 3;
        return EntryAnswer(answer);
    }
    void LogLine(const QString &line) override
    {
        if (line.startsWith(QStringLiteral("Neuer Eintrag: ")))
            ++added;
    }
    void SectionHandled(int, int, int) override {}
    void ProcessPendingEvents() override {}
    bool StopRequested() const override { return false; }

    QList<ListedConnection> offered;
    int added = 0;

private:
    uint8_t m_answers;
    int m_asked = 0;
};

// Everything below the sandbox is the list file or lies inside the tree.
void CheckNothingOutsideTree(const QString &sandbox, const QString &root, const QString &listFile)
{
    QDirIterator it(sandbox, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        FUZZ_CHECK(path == listFile || path == root || path.startsWith(root + u'/'));
        if (it.fileInfo().isFile() && path != listFile)
            FUZZ_CHECK(it.fileName() == QStringLiteral("inhalt.ini"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input input(data, size);
    const uint8_t answers = input.Byte();
    const uint8_t switches = input.Byte();

    const QString sandbox = Fuzz::ScratchFolder() + QStringLiteral("/merge");
    QDir(sandbox).removeRecursively();
    const QString root = sandbox + QStringLiteral("/Inhaltsverzeichnis");
    QDir().mkpath(root + QStringLiteral("/Linux"));
    const QString listFile = sandbox + QStringLiteral("/FTPAdressen.txt");
    {
        QFile file(listFile);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(input.Rest());
    }

    const ConnectionTreeStore tree(root);
    AddedConnectionSettings settings;
    settings.proxyUse = switches & 1;
    settings.socksUse = switches & 2;
    AnsweringHost host(answers);
    int added = 0;
    {
        TIniFile list(listFile);
        IsConnectionList(list);
        ConnectionListMerge merge(tree, settings, host);
        added = merge.Run(list);
    }
    FUZZ_CHECK(added == host.added);
    CheckNothingOutsideTree(sandbox, root, listFile);
    for (const ListedConnection &entry : host.offered) {
        const std::optional<QString> groupPath = GroupPathInTree(entry.group);
        FUZZ_CHECK(groupPath.has_value());
        if (added > 0 && tree.ConnectionExists(*groupPath, entry.name))
            FUZZ_CHECK(tree.ReadConnection(*groupPath, entry.name).has_value());
    }
    return 0;
}
