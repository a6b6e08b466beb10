#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "console/error_line.h"
#include "console/output_stream.h"
#include "console/standard_streams.h"

namespace {

using console::Delivery;
using console::kOutputBufferSize;
using console::OutputStream;

// Records every chunk that a stream passes on.
struct Chunks {
    std::vector<std::string> chunks;
    std::string All() const
    {
        std::string all;
        for (const std::string& chunk : chunks) {
            all += chunk;
        }
        return all;
    }
};

void Record(void* context, const char* bytes, std::size_t count)
{
    static_cast<Chunks*>(context)->chunks.emplace_back(bytes, count);
}

std::string Delivered(void (*write)(OutputStream&))
{
    Chunks sink;
    {
        OutputStream stream(Record, &sink, Delivery::kWhenFull);
        write(stream);
    }
    return sink.All();
}

TEST(Output, NarrowsEachUnitToOneByte)
{
    // Units up to 0xFF keep their value, with no code page involved; larger ones become '?',
    // a surrogate pair two of them.
    EXPECT_EQ(Delivered([](OutputStream& out) {
                  out.Write(L"ini=%s, driver=%s\n", {L"Pr\u00f6vider \u00ff\u0100", L"\u03a9\U0001F600."});
              }),
              "ini=Pr\xf6vider \xff?, driver=???.\r\n");
    EXPECT_EQ(Delivered([](OutputStream& out) { out.Write(L"[%s]", {L"\x7f\x80\x9f\xa0"}); }), "[\x7f\x80\x9f\xa0]");
}

TEST(Output, StandardErrorKeepsEveryLetterAsUtf8OrUtf16)
{
    // Two, three and four bytes of UTF-8; half a surrogate pair is no letter (U+FFFD) there.
    const auto encoded = [](console::Encoding encoding) {
        Chunks sink;
        OutputStream(Record, &sink, Delivery::kEachMessage, encoding)
            .Write(L"%s", {L"\u00e9\u0416\u4e2d\U0001F4BE\xD800.\xDC00\n"});
        return sink.All();
    };
    EXPECT_EQ(encoded(console::Encoding::kUtf8),
              "\xc3\xa9\xd0\x96\xe4\xb8\xad\xf0\x9f\x92\xbe\xef\xbf\xbd.\xef\xbf\xbd\r\n");
    EXPECT_EQ(encoded(console::Encoding::kUtf16),
              std::string("\xe9\x00\x16\x04\x2d\x4e\x3d\xd8\xbe\xdc\x00\xd8.\x00\x00\xdc\r\x00\n\x00", 20));
}

TEST(Output, FillsTheSystemsInsertsWithTheFileOrLeavesThemOut)
{
    // "%1 is not a valid Win32 application." on Windows, "Bad EXE format for %1." under Wine.
    const std::wstring filled = console::SystemErrorText(ERROR_BAD_EXE_FORMAT, L"C:\\x\\ZEL.exe").Text();
    const std::wstring bare = console::SystemErrorText(ERROR_BAD_EXE_FORMAT).Text();
    EXPECT_NE(filled.find(L"C:\\x\\ZEL.exe"), std::wstring::npos) << filled;
    EXPECT_EQ(filled.find(L'%'), std::wstring::npos) << filled;
    EXPECT_EQ(bare.find(L'%'), std::wstring::npos) << bare;
    EXPECT_GT(bare.size(), 5u) << bare;
    const std::wstring cut = console::SystemErrorText(ERROR_BAD_EXE_FORMAT, std::wstring(5000, L'x').c_str()).Text();
    EXPECT_EQ(cut.size(), 2 * console::kSystemTextCapacity - 1);
}

TEST(Output, FillsEachPlaceholderInTurn)
{
    EXPECT_EQ(Delivered([](OutputStream& out) { out.Write(L"ini=%s, driver=%s\n", {L"", L""}); }), "ini=, driver=\r\n");
    EXPECT_EQ(Delivered([](OutputStream& out) { out.Write(L"zelPath: %s\n", {L"C:\\a b\\ZEL.exe"}); }),
              "zelPath: C:\\a b\\ZEL.exe\r\n");
    // A placeholder without a text stands for nothing; a lone '%' is kept.
    EXPECT_EQ(Delivered([](OutputStream& out) { out.Write(L"%s|%s|100%", {L"a"}); }), "a||100%");
    EXPECT_EQ(Delivered([](OutputStream& out) { out.Write(L"[%s]", {}); }), "[]");
}

TEST(Output, EndsEveryLineFeedWithCarriageReturnLineFeed)
{
    EXPECT_EQ(Delivered([](OutputStream& out) {
                  out.Write("need to install driver\n");
                  out.Write("a\n\nb\r");
                  out.Write(L"x\n%s", {L"y\nz"});
                  out.Write("Finish Install");
              }),
              "need to install driver\r\na\r\n\r\nb\rx\r\ny\r\nzFinish Install");
}

TEST(Output, FileOrPipeGetsFullBuffersThenTheRestOnFlush)
{
    Chunks sink;
    OutputStream stream(Record, &sink, Delivery::kWhenFull);
    const std::string almostFull(kOutputBufferSize - 3, 'a');
    stream.Write(almostFull.c_str());
    stream.Write("don't need...\n");  // crosses the 4096-byte boundary
    ASSERT_EQ(sink.chunks.size(), 1u);
    EXPECT_EQ(sink.chunks[0], almostFull + "don");

    stream.Write("x\n");
    EXPECT_EQ(sink.chunks.size(), 1u) << "nothing more until the buffer fills or is flushed";
    stream.Flush();
    ASSERT_EQ(sink.chunks.size(), 2u);
    EXPECT_EQ(sink.chunks[1], "'t need...\r\nx\r\n");
    stream.Flush();
    EXPECT_EQ(sink.chunks.size(), 2u) << "an empty buffer passes nothing on";
}

TEST(Output, CarriageReturnAndLineFeedMaySplitAcrossBuffers)
{
    Chunks sink;
    OutputStream stream(Record, &sink, Delivery::kWhenFull);
    stream.Write((std::string(kOutputBufferSize - 1, 'a') + "\n").c_str());
    ASSERT_EQ(sink.chunks.size(), 1u);
    EXPECT_EQ(sink.chunks[0].back(), '\r');
    stream.Flush();
    EXPECT_EQ(sink.All(), std::string(kOutputBufferSize - 1, 'a') + "\r\n");
}

TEST(Output, ConsoleGetsEachMessageAtOnce)
{
    Chunks sink;
    OutputStream stream(Record, &sink, Delivery::kEachMessage);
    stream.Write("Start Install\n");
    ASSERT_EQ(sink.chunks.size(), 1u);
    EXPECT_EQ(sink.chunks[0], "Start Install\r\n");
    stream.Write(L"zelPath: %s\n", {L"C:\\ZEL.exe"});
    ASSERT_EQ(sink.chunks.size(), 2u);
    EXPECT_EQ(sink.chunks[1], "zelPath: C:\\ZEL.exe\r\n");

    const std::string longer(kOutputBufferSize + 10, 'b');
    stream.Write(longer.c_str());
    EXPECT_EQ(sink.All(), "Start Install\r\nzelPath: C:\\ZEL.exe\r\n" + longer);
}

TEST(Output, StandardOutputCanBeWatched)
{
    Chunks sink;
    OutputStream watched(Record, &sink, Delivery::kEachMessage);
    {
        const console::ScopedStandardOutput redirect(watched);
        console::WriteMessage("double check again !!!");
        console::WriteMessage(L"%s\n", {L"x"});
    }
    EXPECT_EQ(sink.All(), "double check again !!!x\r\n");
}

}  // namespace

namespace {

// Random UTF-16 texts: one byte for every unit (CR LF for a line feed), each as narrowed.
TEST(Output, RandomTextsGiveOneBytePerUnit)
{
    std::mt19937 random(4096);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> anyUnit(1, 0xFFFF);
    for (int round = 0; round < 500; ++round) {
        std::wstring text(std::uniform_int_distribution<std::size_t>(0, 5000)(random), L'x');
        for (wchar_t& unit : text) {
            const int k = kind(random);
            unit = static_cast<wchar_t>(k == 0  ? L'\n'
                                        : k < 4 ? std::uniform_int_distribution<int>(1, 0xFF)(random)
                                                : anyUnit(random));
        }
        std::string expected;
        for (const wchar_t unit : text) {
            expected += unit == L'\n' ? "\r\n" : std::string(1, unit <= 0xFF ? static_cast<char>(unit) : '?');
        }
        Chunks sink;
        {
            OutputStream stream(Record, &sink, round % 2 ? Delivery::kWhenFull : Delivery::kEachMessage);
            stream.Write(L"%s", {text.c_str()});
        }
        ASSERT_EQ(sink.All(), expected) << "round " << round;
        for (const std::string& chunk : sink.chunks) {
            ASSERT_LE(chunk.size(), kOutputBufferSize);
        }
    }
}

}  // namespace
