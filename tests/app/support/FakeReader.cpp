#include "FakeReader.h"

FakeReader::FakeReader(std::shared_ptr<FakeLibrary> library)
    : m_library(std::move(library))
{
    ++m_library->readersMade;
    ++m_library->readersAlive;
}

FakeReader::FakeReader(const QString& path, const FakeBookContent& content)
    : m_path(path)
    , m_content(content)
{
}

FakeReader::~FakeReader()
{
    if (m_library)
        --m_library->readersAlive;
}

bool FakeReader::open(const QString& path)
{
    m_path = path;
    m_error.clear();
    m_content = FakeBookContent();
    if (!m_library)
        return false;
    ++m_library->opensStarted;
    m_library->passGate();
    if (!m_library->find(path, &m_content)) {
        m_error = QStringLiteral("Cannot open fake book: ") + path;
        return false;
    }
    return true;
}

FormatSpec fakeRow(const QString& extension, bool isDirectory, const std::shared_ptr<FakeLibrary>& library)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.isDirectory = isDirectory;
    spec.readerFactory = [library] { return std::make_unique<FakeReader>(library); };
    return spec;
}
