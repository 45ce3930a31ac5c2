#include "searchcommand.h"

#include "clifailure.h"
#include "connectiontree.h"
#include "connectiontreestore.h"
#include "idexceptions.h"
#include "resultsfile.h"
#include "searchrun.h"
#include "searchsession.h"
#include "searchtargets.h"
#include "tidftp.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void UsageError(const QString &message)
{
    throw CliFailure{kExitUsage, message};
}

QString UserTreeFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(u"QvxORNAFTPGlimra/Inhaltsverzeichnis"_s);
}

// "2024-05-01", "2024-05-01T10:30", "2024-05-01 10:30:15", in local time.
QDateTime ParseDateTime(const QString &option, const QString &text)
{
    QString iso = text.trimmed();
    iso.replace(u' ', u'T');
    QDateTime value = QDateTime::fromString(iso, Qt::ISODate);
    if (!value.isValid()) {
        const QDate date = QDate::fromString(iso, Qt::ISODate);
        if (date.isValid())
            value = QDateTime(date, QTime(0, 0));
    }
    if (!value.isValid())
        UsageError(
            u"%1: ungültiges Datum %2 (erwartet wird JJJJ-MM-TT oder JJJJ-MM-TT HH:MM)."_s.arg(option, text));
    return value;
}

qint64 ParseSize(const QString &text)
{
    bool ok = false;
    const qint64 size = text.trimmed().toLongLong(&ok);
    if (!ok || size < 0)
        UsageError(u"--max-size: ungültige Größe %1 (erwartet wird eine Zahl von Bytes)."_s.arg(text));
    return size;
}

// The n-th --and or --or fills the n-th field of its row, an empty value
// too: terms only in the second and third AND field are a search of their own.
void SetTerm(std::array<QString, 3> &row, int &termsGiven, const QString &option, const QString &term)
{
    if (termsGiven == int(row.size()))
        UsageError(u"%1 ist höchstens dreimal erlaubt."_s.arg(option));
    row[std::size_t(termsGiven++)] = term;
}

bool TakesValue(const QString &name)
{
    static const QStringList options = {u"--tree"_s,     u"--and"_s,   u"--or"_s,     u"--patterns"_s,
                                        u"--max-size"_s, u"--after"_s, u"--before"_s, u"--toserve"_s};
    return options.contains(name);
}

struct TermsGiven {
    int andTerms = 0;
    int orTerms = 0;
};

void SetValue(SearchCommandLine &line, TermsGiven &given, const QString &name, const QString &value)
{
    SearchCriteria &criteria = line.criteria;
    if (name == u"--tree"_s)
        line.treeFolder = value;
    else if (name == u"--and"_s)
        SetTerm(criteria.andTerms, given.andTerms, name, value);
    else if (name == u"--or"_s)
        SetTerm(criteria.orTerms, given.orTerms, name, value);
    else if (name == u"--patterns"_s)
        criteria.patternText = value;
    else if (name == u"--max-size"_s)
        criteria.sizeLimit = ParseSize(value);
    else if (name == u"--after"_s)
        criteria.changedAfter = ParseDateTime(name, value);
    else if (name == u"--before"_s)
        criteria.changedBefore = ParseDateTime(name, value);
    else
        line.resultsFile = value;
}

QList<SearchTarget> Targets(const SearchCommandLine &line)
{
    const ConnectionTreeStore store(line.treeFolder.isEmpty() ? UserTreeFolder() : line.treeFolder);
    ConnectionTree tree;
    store.LoadConnectionTree(tree);
    QList<SearchTarget> targets;
    for (const QString &path : line.paths) {
        const ConnectionTreeNode *node = SearchTargets::NodeAtPath(tree, path);
        if (!node)
            UsageError(u"Im Verbindungsbaum gibt es keine Verbindung oder Gruppe %1."_s.arg(path));
        targets += SearchTargets::Below(store, *node);
    }
    return targets;
}

void PrintHit(const SearchHit &hit)
{
    const QString line =
        QStringList{hit.server, hit.folder, hit.name, hit.sizeText, hit.dateText}.join(u'\t');
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Notes go to the error output: the standard output holds only hits.
void PrintNote(const QString &text)
{
    std::fprintf(stderr, "glimra-cli: %s\n", text.toUtf8().constData());
}

} // namespace

SearchCommandLine ParseSearchCommandLine(const QStringList &arguments)
{
    SearchCommandLine line;
    TermsGiven termsGiven;
    bool names = false;
    bool content = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(u"--"_s) && argument != u"-h"_s) {
            line.paths.append(argument);
        } else if (argument == u"--help"_s || argument == u"-h"_s) {
            line.help = true;
        } else if (argument == u"--names"_s) {
            names = true;
        } else if (argument == u"--content"_s) {
            content = true;
        } else if (argument == u"--case"_s) {
            line.criteria.caseSensitive = true;
        } else if (!TakesValue(argument)) {
            UsageError(u"Unbekannte Option: %1"_s.arg(argument));
        } else if (i + 1 < arguments.size()) {
            SetValue(line, termsGiven, argument, arguments[++i]);
        } else {
            UsageError(u"Die Option %1 braucht einen Wert."_s.arg(argument));
        }
    }
    if (line.help)
        return line;
    if (line.paths.isEmpty())
        UsageError(u"Es fehlt der Pfad einer Verbindung oder Gruppe im Verbindungsbaum."_s);
    line.criteria.searchNames = names;
    line.criteria.searchContents = content || !names;
    QString error;
    if (!SearchMatcher::Prepare(line.criteria, &error))
        UsageError(error);
    return line;
}

int RunSearchCommand(const SearchCommandLine &line)
{
    const QList<SearchTarget> targets = Targets(line);
    const std::optional<SearchMatcher> matcher = SearchMatcher::Prepare(line.criteria);
    QList<SearchHit> hits;
    SearchRun::Hooks hooks;
    hooks.crawl.hitFound = [&hits](const SearchHit &hit) {
        hits.append(hit);
        PrintHit(hit);
    };
    TIdFTP ftp;
    SearchSession session(ftp);
    const bool cancelRequested = false;
    hooks.crawl.log = [](const QString &text) { PrintNote(text); };
    SearchRun run(session, *matcher, cancelRequested, hooks);
    try {
        run.Run(targets);
    } catch (const EIdException &error) {
        throw CliFailure{kExitNetwork, u"Die Suche ist abgebrochen: %1"_s.arg(error.Message())};
    }
    if (run.SkippedFolders() > 0)
        PrintNote(SkippedFoldersText(run.SkippedFolders()));
    if (!line.resultsFile.isEmpty() && !ResultsFile::Write(line.resultsFile, hits))
        throw CliFailure{kExitUsage,
                         u"Die Ergebnisdatei %1 kann nicht geschrieben werden."_s.arg(line.resultsFile)};
    return hits.isEmpty() ? kExitRefused : kExitDone;
}

QString SearchHelpText()
{
    return uR"(Aufruf: glimra-cli search [Optionen] PFAD...

Durchsucht gespeicherte Verbindungen nacheinander, wie die Suche des Programms.
PFAD ist der Pfad im Verbindungsbaum ("Arbeit/Webseite"); eine Gruppe steht für
alle Verbindungen darunter. Jeder Treffer wird als eine Zeile ausgegeben:
Server, Ordner, Name, Größe, Datum, durch Tabulatoren getrennt.

Optionen:
  --tree ORDNER           anderer Verbindungsbaum als der eigene
  --names                 Begriffe im Dateinamen suchen
  --content               Begriffe im Dateiinhalt suchen (Vorgabe ohne --names)
  --and BEGRIFF           muss vorkommen (bis zu dreimal)
  --or BEGRIFF            einer davon genügt (bis zu dreimal)
  --patterns "*.mp3;*.wav"
                          Dateimuster für die Inhaltssuche (Vorgabe "*.*");
                          ohne Begriffe ist jede passende Datei ein Treffer,
                          ohne Download
  --max-size BYTES        größere Dateien nicht für die Inhaltssuche laden
  --after DATUM           nur Dateien ab diesem Zeitpunkt (JJJJ-MM-TT [HH:MM])
  --before DATUM          nur Dateien bis zu diesem Zeitpunkt
  --case                  Groß- und Kleinschreibung beachten
  --toserve DATEI         die Treffer auch als Suchergebnisdatei schreiben
  -h, --help              diese Hilfe

Rückgabewerte: 0 Treffer gefunden, 1 keine Treffer, 2 Aufruffehler,
3 die Suche ist an einem Verbindungsfehler abgebrochen.
)"_s;
}
