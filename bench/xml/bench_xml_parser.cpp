// Description-file reading: one typical 2 KB file parsed from memory and from
// disk, and a busy day of 300 such files read the way the console's scan reads
// them. A bare QXmlStreamReader pass over the same bytes is the baseline: the
// ratio shows what building the dictionaries costs on top of tokenising.
//
// Targets: one file under 50 us, 300 files under 30 ms. The log goes to
// /dev/null as the station's goes to its file.
#include "xml/KivoNSXmlParser.h"
#include "xml/TestParser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

namespace {
const std::filesystem::path kFixture =
    std::filesystem::path(__FILE__).parent_path() / "../../tests/data/xml/description-2k.xml";

QByteArray fixtureBytes()
{
    QFile file(QString::fromStdString(kFixture.string()));
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

void BM_StreamReaderBaseline(benchmark::State &state)
{
    const QByteArray bytes = fixtureBytes();
    for (auto _ : state) {
        QXmlStreamReader reader(bytes);
        reader.setNamespaceProcessing(false);
        int tokens = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_StreamReaderBaseline)->Unit(benchmark::kMicrosecond);

void BM_ParseDescription(benchmark::State &state)
{
    const QByteArray bytes = fixtureBytes();
    for (auto _ : state) {
        kivo::KivoNSXmlParser parser(bytes);
        parser.setRootKey(QStringLiteral("data"));
        parser.parse();
        benchmark::DoNotOptimize(parser.mDictionary());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseDescription)->Unit(benchmark::kMicrosecond);

void BM_TestParserOneFile(benchmark::State &state)
{
    const QString path = QString::fromStdString(kFixture.string());
    for (auto _ : state)
        benchmark::DoNotOptimize(kivo::testParser(path));
}
BENCHMARK(BM_TestParserOneFile)->Unit(benchmark::kMicrosecond);

void BM_BusyDay300Files(benchmark::State &state)
{
    QTemporaryDir day;
    const QByteArray bytes = fixtureBytes();
    QStringList paths;
    for (int i = 0; i < 300; ++i) {
        const QString folder = day.filePath(QStringLiteral("C%1").arg(i, 4, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/C%1.xml").arg(i, 4, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(bytes);
        paths << path;
    }
    for (auto _ : state) {
        int read = 0;
        for (const QString &path : paths)
            read += kivo::testParser(path).has_value();
        if (read != 300)
            state.SkipWithError("a file was not read");
    }
    state.SetItemsProcessed(state.iterations() * 300);
}
BENCHMARK(BM_BusyDay300Files)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    if (!std::freopen("/dev/null", "w", stderr))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
