// A search results file (".toserve") of any content: reading it never
// fails, and the rows it gives, written again, read back unchanged.
#include "resultsfile.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString fileName = Fuzz::WriteScratchFile(
        QStringLiteral("fuzz.toserve"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (fileName.isEmpty())
        return 0;
    const std::optional<QList<SearchHit>> hits = ResultsFile::Read(fileName);
    if (!hits)
        return 0;
    const QString copyName = Fuzz::ScratchFolder() + QStringLiteral("/copy.toserve");
    FUZZ_CHECK(ResultsFile::Write(copyName, *hits));
    const std::optional<QList<SearchHit>> reread = ResultsFile::Read(copyName);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *hits);
    return 0;
}
