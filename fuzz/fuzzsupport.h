#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// The entry points of a fuzz target: each target defines the second, the
// first is the same for all (fuzzsupport.cpp). libFuzzer calls them when
// the target is built for fuzzing; the replay program of the test suite
// calls them over the stored inputs.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// A property that must hold for every input. Failing it is a finding like a
// crash: it aborts, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            Fuzz::CheckFailed(#condition, __FILE__, __LINE__);                                               \
    } while (false)

namespace Fuzz {

[[noreturn]] void CheckFailed(const char *condition, const char *file, int line);

// The Qt application object, made once; German formats and a time zone with
// summer time, so that every run of an input behaves the same.
void InitializeOnce(int argc, char **argv);

// A folder of this process's own, removed when it ends.
QString ScratchFolder();

// Writes the bytes as the file of that name in the scratch folder and
// returns its path; empty when it cannot be written.
QString WriteScratchFile(const QString &name, const QByteArray &bytes);

// Reads switches from the front of an input and hands out the rest.
class Input {
public:
    Input(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    // The next byte, 0 when the input is used up.
    uint8_t Byte() { return m_position < m_size ? m_data[m_position++] : 0; }
    QByteArray Rest()
    {
        const QByteArray rest(reinterpret_cast<const char *>(m_data + m_position),
                              qsizetype(m_size - m_position));
        m_position = m_size;
        return rest;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_position = 0;
};

} // namespace Fuzz
