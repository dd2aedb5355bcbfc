#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "conformance/scratch.h"

namespace {

using platform::kAttributeArchive;
using platform::kAttributeDirectory;
using platform::kAttributeHidden;
using platform::kAttributeNormal;
using platform::kAttributeReadOnly;
using platform::kInvalidFileAttributes;

class FilesConformance : public conformance::ScratchTest {
 protected:
  // Name -> attributes of what a search finds, in no particular order: Windows gives the
  // order of the disk, which the program must not rely on.
  std::map<std::string, std::uint32_t> Found(const std::string& pattern) {
    std::map<std::string, std::uint32_t> found;
    for (const platform::FoundFile& entry : files_.FindFiles(pattern)) {
      EXPECT_TRUE(found.emplace(entry.name, entry.attributes).second) << entry.name;
    }
    return found;
  }

  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<std::string> names;
    for (const auto& [name, attributes] : Found(pattern)) {
      names.push_back(name);
    }
    return names;
  }

  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(backend_->WriteBytes(Path(name), bytes)) << name;
  }

  // Every line fgets gives with a buffer of `capacity` bytes, until the end.
  std::vector<std::string> Lines(const std::string& name, std::size_t capacity) {
    std::unique_ptr<platform::TextFile> file = files_.OpenTextFile(Path(name));
    EXPECT_TRUE(file) << name;
    std::vector<std::string> lines;
    while (file) {
      std::optional<std::string> line = file->ReadLine(capacity);
      if (!line) {
        break;
      }
      lines.push_back(*line);
      if (lines.size() > 1000) {
        ADD_FAILURE() << "no end of " << name;
        break;
      }
    }
    return lines;
  }
};

TEST_F(FilesConformance, AttributesOfNewFilesFoldersAndMissingPaths) {
  ASSERT_TRUE(files_.AppendText(Path("new.txt"), "x"));
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));

  // A file the program writes is marked for backup; a plain folder is a directory only.
  EXPECT_EQ(files_.GetFileAttributes(Path("new.txt")), kAttributeArchive);
  EXPECT_EQ(files_.GetFileAttributes(Path("folder")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path("missing.txt")), kInvalidFileAttributes);
  EXPECT_EQ(files_.GetFileAttributes(Path("missing\\new.txt")), kInvalidFileAttributes);

  // Read-only and hidden come and go as set; Windows then reports a file without attributes
  // as "normal" alone, where Wine keeps the archive bit, so only these bits are compared.
  constexpr std::uint32_t kBits = kAttributeReadOnly | kAttributeHidden | kAttributeDirectory;
  ASSERT_TRUE(backend_->SetAttributes(Path("new.txt"), kAttributeReadOnly | kAttributeHidden));
  EXPECT_EQ(files_.GetFileAttributes(Path("new.txt")) & kBits,
            kAttributeReadOnly | kAttributeHidden);
  EXPECT_EQ(Found(Path("new.txt"))["new.txt"] & kBits, kAttributeReadOnly | kAttributeHidden);
  ASSERT_TRUE(backend_->SetAttributes(Path("new.txt"), kAttributeNormal));
  EXPECT_EQ(files_.GetFileAttributes(Path("new.txt")) & kBits, 0u);
}

TEST_F(FilesConformance, NamesAreFoundWithoutRegardToCaseAndKeepTheirCase) {
  Write("Readme.TXT", "text");
  ASSERT_TRUE(files_.CreateDirectory(Path("Sub Folder")));

  EXPECT_NE(files_.GetFileAttributes(Path("README.txt")), kInvalidFileAttributes);
  EXPECT_NE(files_.GetFileAttributes(Path("sub folder")), kInvalidFileAttributes);
  EXPECT_EQ(Names(Path("readme.*")), (std::vector<std::string>{"Readme.TXT"}));
  EXPECT_EQ(Names(Path("SUB*")), (std::vector<std::string>{"Sub Folder"}));

  // The same name in another case is the same entry.
  EXPECT_FALSE(files_.CreateDirectory(Path("SUB FOLDER")));
  ASSERT_TRUE(files_.AppendText(Path("readme.txt"), "\n"));
  EXPECT_EQ(backend_->ReadBytes(Path("Readme.TXT")), "text\r\n");
  EXPECT_EQ(Names(Path("*.txt")), (std::vector<std::string>{"Readme.TXT"}));
  EXPECT_TRUE(files_.DeleteFile(Path("README.TXT")));
  EXPECT_TRUE(files_.RemoveDirectory(Path("sub FOLDER")));
  EXPECT_EQ(Names(Path("*")), (std::vector<std::string>{".", ".."}));
}

TEST_F(FilesConformance, SlashesDotsAndTrailingSeparatorsInPaths) {
  ASSERT_TRUE(files_.CreateDirectory(Path("a")));
  Write("a\\file.txt", "x");

  const std::string slashed = folder_ + "/a/file.txt";
  EXPECT_NE(files_.GetFileAttributes(slashed), kInvalidFileAttributes) << slashed;
  EXPECT_NE(files_.GetFileAttributes(Path("a\\.\\..\\a\\file.txt")), kInvalidFileAttributes);
  EXPECT_EQ(files_.GetFileAttributes(Path("a\\")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path("a/")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path("a\\file.txt\\")), kInvalidFileAttributes);

  EXPECT_TRUE(files_.CreateDirectory(Path("a/b/")));
  EXPECT_EQ(files_.GetFileAttributes(Path("a\\b")), kAttributeDirectory);
  EXPECT_TRUE(files_.RemoveDirectory(Path("a\\b\\")));
  EXPECT_TRUE(files_.DeleteFile(Path("a/file.txt")));
  EXPECT_EQ(files_.GetFileAttributes(Path("a\\file.txt")), kInvalidFileAttributes);
}

TEST_F(FilesConformance, WildcardSearchYieldsDotsFilesAndFolders) {
  for (const char* name : {"a.txt", "b.TXT", "noext", "ab.dat", "x.txt.bak"}) {
    Write(name, "");
  }
  ASSERT_TRUE(files_.CreateDirectory(Path("sub")));

  const std::map<std::string, std::uint32_t> all = Found(Path("*"));
  const std::vector<std::string> everything = {".",     "..",    "a.txt", "ab.dat",
                                               "b.TXT", "noext", "sub",   "x.txt.bak"};
  EXPECT_EQ(Names(Path("*")), everything);
  EXPECT_TRUE(all.at(".") & kAttributeDirectory);
  EXPECT_TRUE(all.at("..") & kAttributeDirectory);
  EXPECT_EQ(all.at("sub"), kAttributeDirectory);
  EXPECT_EQ(all.at("noext"), kAttributeArchive);

  // "*.*" matches names without a dot too, as does a final ".*".
  EXPECT_EQ(Names(Path("*.*")), everything);
  EXPECT_EQ(Names(Path("noext.*")), (std::vector<std::string>{"noext"}));

  EXPECT_EQ(Names(Path("*.txt")), (std::vector<std::string>{"a.txt", "b.TXT"}));
  EXPECT_EQ(Names(Path("?.txt")), (std::vector<std::string>{"a.txt", "b.TXT"}));
  EXPECT_EQ(Names(Path("a*")), (std::vector<std::string>{"a.txt", "ab.dat"}));
  EXPECT_EQ(Names(Path("n*t")), (std::vector<std::string>{"noext"}));
  EXPECT_EQ(Names(Path("*.bak")), (std::vector<std::string>{"x.txt.bak"}));
  EXPECT_EQ(Names(Path("ab.dat")), (std::vector<std::string>{"ab.dat"}));

  EXPECT_TRUE(Names(Path("*.exe")).empty());
  EXPECT_TRUE(Names(Path("missing\\*")).empty());
  EXPECT_TRUE(Names(Path("noext\\*")).empty());
}

TEST_F(FilesConformance, SearchGivesTheSizeOfFilesAndNoneForFolders) {
  Write("empty.txt", "");
  Write("five.txt", "12345");
  Write("big.bin", std::string(70000, 'b'));
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  Write("folder\\inner.txt", "inner");
  // Appending a line feed adds two bytes, as the disk holds CR LF.
  ASSERT_TRUE(files_.AppendText(Path("five.txt"), "\n"));

  std::map<std::string, std::uint64_t> sizes;
  for (const platform::FoundFile& entry : files_.FindFiles(Path("*"))) {
    sizes[entry.name] = entry.size;
  }
  EXPECT_EQ(sizes, (std::map<std::string, std::uint64_t>{{".", 0},
                                                         {"..", 0},
                                                         {"big.bin", 70000},
                                                         {"empty.txt", 0},
                                                         {"five.txt", 7},
                                                         {"folder", 0}}));
  const std::vector<platform::FoundFile> one = files_.FindFiles(Path("folder\\inner.txt"));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size, 5u);
}

TEST_F(FilesConformance, SearchWithoutWildcardFindsTheEntryItself) {
  ASSERT_TRUE(files_.CreateDirectory(Path("Folder")));
  EXPECT_EQ(Found(Path("folder")), (std::map<std::string, std::uint32_t>{{"Folder", 0x10}}));
  EXPECT_TRUE(Names(Path("folder\\")).empty());
}

TEST_F(FilesConformance, SearchGivesWhenAFolderWasMadeOnTheSystemsClock) {
  // The folder browser tells a folder made in it from one the user had by this time alone.
  ASSERT_TRUE(files_.CreateDirectory(Path("before")));
  platform_.process.Sleep(50);
  const std::uint64_t now = platform_.system.GetSystemTimeAsFileTime();
  platform_.process.Sleep(50);
  ASSERT_TRUE(files_.CreateDirectory(Path("after")));
  const std::vector<platform::FoundFile> before = files_.FindFiles(Path("before"));
  const std::vector<platform::FoundFile> after = files_.FindFiles(Path("after"));
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_LT(before[0].created, now);
  EXPECT_GT(after[0].created, now);
  // Within a day of each other: the same clock, in the same steps.
  EXPECT_LT(after[0].created - before[0].created, 864000000000u);
}

TEST_F(FilesConformance, CreateDirectoryNeedsAParentAndAFreeName) {
  EXPECT_TRUE(files_.CreateDirectory(Path("new")));
  EXPECT_FALSE(files_.CreateDirectory(Path("new")));
  EXPECT_FALSE(files_.CreateDirectory(Path("missing\\child")));
  EXPECT_EQ(files_.GetFileAttributes(Path("missing")), kInvalidFileAttributes);

  Write("file", "");
  EXPECT_FALSE(files_.CreateDirectory(Path("file")));
  EXPECT_FALSE(files_.CreateDirectory(Path("file\\child")));
  EXPECT_EQ(files_.GetFileAttributes(Path("file")), kAttributeArchive);
}

TEST_F(FilesConformance, RemoveDirectoryOnlyRemovesAnEmptyFolder) {
  ASSERT_TRUE(files_.CreateDirectory(Path("full")));
  ASSERT_TRUE(files_.CreateDirectory(Path("full\\inner")));
  EXPECT_FALSE(files_.RemoveDirectory(Path("full")));
  EXPECT_TRUE(files_.RemoveDirectory(Path("full\\inner")));

  Write("full\\file.txt", "");
  EXPECT_FALSE(files_.RemoveDirectory(Path("full")));
  EXPECT_FALSE(files_.RemoveDirectory(Path("full\\file.txt")));
  EXPECT_EQ(files_.GetFileAttributes(Path("full\\file.txt")), kAttributeArchive);
  ASSERT_TRUE(files_.DeleteFile(Path("full\\file.txt")));

  EXPECT_TRUE(files_.RemoveDirectory(Path("full")));
  EXPECT_FALSE(files_.RemoveDirectory(Path("full")));
  EXPECT_EQ(files_.GetFileAttributes(Path("full")), kInvalidFileAttributes);
}

TEST_F(FilesConformance, DeleteFileRefusesReadOnlyFilesAndFolders) {
  Write("locked.txt", "keep");
  ASSERT_TRUE(backend_->SetAttributes(Path("locked.txt"), kAttributeReadOnly));
  EXPECT_FALSE(files_.DeleteFile(Path("locked.txt")));
  EXPECT_EQ(backend_->ReadBytes(Path("locked.txt")), "keep");

  ASSERT_TRUE(backend_->SetAttributes(Path("locked.txt"), kAttributeNormal));
  EXPECT_TRUE(files_.DeleteFile(Path("locked.txt")));
  EXPECT_FALSE(files_.DeleteFile(Path("locked.txt")));

  // Hidden alone does not protect a file.
  Write("hidden.txt", "");
  ASSERT_TRUE(backend_->SetAttributes(Path("hidden.txt"), kAttributeHidden));
  EXPECT_TRUE(files_.DeleteFile(Path("hidden.txt")));

  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_FALSE(files_.DeleteFile(Path("folder")));
  EXPECT_EQ(files_.GetFileAttributes(Path("folder")), kAttributeDirectory);
}

TEST_F(FilesConformance, TextReadTurnsCarriageReturnLineFeedIntoLineFeed) {
  Write("crlf.txt", "one\r\ntwo\rstill two\r\n\r\nlast");
  EXPECT_EQ(Lines("crlf.txt", 512),
            (std::vector<std::string>{"one\n", "two\rstill two\n", "\n", "last"}));

  // A lone carriage return at the very end stays too.
  Write("cr.txt", "a\r");
  EXPECT_EQ(Lines("cr.txt", 512), (std::vector<std::string>{"a\r"}));
}

TEST_F(FilesConformance, TextReadStopsAtControlZ) {
  Write("ctrlz.txt",
        "before\r\nmid\x1A"
        "after\r\nmore\r\n");
  EXPECT_EQ(Lines("ctrlz.txt", 512), (std::vector<std::string>{"before\n", "mid"}));

  // Rewinding reads up to the same end again.
  std::unique_ptr<platform::TextFile> file = files_.OpenTextFile(Path("ctrlz.txt"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadLine(512), "before\n");
  EXPECT_EQ(file->ReadLine(512), "mid");
  EXPECT_EQ(file->ReadLine(512), std::nullopt);
  file->Rewind();
  EXPECT_EQ(file->ReadLine(512), "before\n");
}

TEST_F(FilesConformance, TextReadGivesALongLineInPiecesOfCapacityMinusOne) {
  Write("long.txt", std::string(10, 'a') + "\r\n" + std::string(9, 'b') + "\r\nc\r\n");
  // With 5 bytes a piece holds 4 characters; a line feed that fits ends its piece.
  EXPECT_EQ(Lines("long.txt", 5),
            (std::vector<std::string>{"aaaa", "aaaa", "aa\n", "bbbb", "bbbb", "b\n", "c\n"}));
  // The line feed takes the last place of a piece when the line fills it exactly.
  Write("exact.txt", "abc\r\nd");
  EXPECT_EQ(Lines("exact.txt", 4), (std::vector<std::string>{"abc", "\n", "d"}));
  EXPECT_EQ(Lines("exact.txt", 5), (std::vector<std::string>{"abc\n", "d"}));
}

TEST_F(FilesConformance, TextReadEndsEmptyAndStaysEnded) {
  Write("empty.txt", "");
  std::unique_ptr<platform::TextFile> empty = files_.OpenTextFile(Path("empty.txt"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->ReadLine(512), std::nullopt);

  Write("one.txt", "x\r\n");
  std::unique_ptr<platform::TextFile> file = files_.OpenTextFile(Path("one.txt"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadLine(512), "x\n");
  EXPECT_EQ(file->ReadLine(512), std::nullopt);
  EXPECT_EQ(file->ReadLine(512), std::nullopt);
}

TEST_F(FilesConformance, TextReadCutsALineAtAZeroByte) {
  Write("zero.txt", std::string("ab\0cd\r\nef\r\n", 11));
  EXPECT_EQ(Lines("zero.txt", 512), (std::vector<std::string>{"ab", "ef\n"}));
}

TEST_F(FilesConformance, TextOpenFailsForMissingFilesAndFolders) {
  EXPECT_EQ(files_.OpenTextFile(Path("missing.txt")), nullptr);
  EXPECT_EQ(files_.OpenTextFile(Path("missing\\file.txt")), nullptr);
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_EQ(files_.OpenTextFile(Path("folder")), nullptr);
}

TEST_F(FilesConformance, WholeFileReadGivesTheBytesAsTheyAreAndFollowsTheCurrentFolder) {
  const std::string bytes("line\r\nzero\0after\x1A tail\rend", 26);
  Write("agreement.txt", bytes);
  EXPECT_EQ(files_.ReadWholeFile(Path("agreement.txt")), bytes);
  Write("empty.txt", "");
  EXPECT_EQ(files_.ReadWholeFile(Path("empty.txt")), "");

  // A bare name is read from the current folder.
  ASSERT_TRUE(files_.SetCurrentDirectory(folder_));
  EXPECT_EQ(files_.ReadWholeFile("agreement.txt"), bytes);
  // Out again, or the scratch folder, being current, could not be removed.
  ASSERT_TRUE(files_.SetCurrentDirectory(folder_ + "\\.."));

  EXPECT_EQ(files_.ReadWholeFile(Path("missing.txt")), std::nullopt);
  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_EQ(files_.ReadWholeFile(Path("folder")), std::nullopt);
}

TEST_F(FilesConformance, TextAppendCreatesTheFileAndWritesLineFeedsAsCarriageReturnLineFeed) {
  ASSERT_TRUE(files_.AppendText(Path("log.txt"), "first\n"));
  ASSERT_TRUE(files_.AppendText(Path("log.txt"), ""));
  ASSERT_TRUE(files_.AppendText(Path("log.txt"), "\nsecond\nthird"));
  EXPECT_EQ(backend_->ReadBytes(Path("log.txt")), "first\r\n\r\nsecond\r\nthird");

  // Appending continues after bytes laid down otherwise, and a CR LF of the text gains a CR.
  Write("raw.txt", "no break");
  ASSERT_TRUE(files_.AppendText(Path("raw.txt"), "\r\n"));
  EXPECT_EQ(backend_->ReadBytes(Path("raw.txt")), "no break\r\r\n");

  ASSERT_TRUE(files_.AppendText(Path("empty.txt"), ""));
  EXPECT_EQ(backend_->ReadBytes(Path("empty.txt")), "");
}

// A read-only file refuses appending on Windows too, but Wine leaves that check to the host,
// which lets the root user of the test machines write; the simulation's own tests pin it.
TEST_F(FilesConformance, TextAppendFailsWithoutAFolderAndOnAFolder) {
  EXPECT_FALSE(files_.AppendText(Path("missing\\log.txt"), "x\n"));
  EXPECT_EQ(files_.GetFileAttributes(Path("missing")), kInvalidFileAttributes);

  ASSERT_TRUE(files_.CreateDirectory(Path("folder")));
  EXPECT_FALSE(files_.AppendText(Path("folder"), "x\n"));
  EXPECT_EQ(files_.GetFileAttributes(Path("folder")), kAttributeDirectory);
  EXPECT_FALSE(files_.AppendText(Path("folder\\"), "x\n"));
}

TEST_F(FilesConformance, TextAppendAndReadRoundTrip) {
  ASSERT_TRUE(files_.AppendText(Path("round.txt"), "Made Dir: C:\\x\n"));
  ASSERT_TRUE(files_.AppendText(Path("round.txt"), "File Copy: a b\n"));
  EXPECT_EQ(Lines("round.txt", 512),
            (std::vector<std::string>{"Made Dir: C:\\x\n", "File Copy: a b\n"}));
}

}  // namespace

TEST_F(FilesConformance, TrailingDotsAndBlanksLeaveTheLastName) {
  Write("b.dat", "b");
  ASSERT_TRUE(files_.CreateDirectory(Path("sub.")));
  EXPECT_EQ(Names(Path("sub*")), (std::vector<std::string>{"sub"}));

  for (const char* spelling : {"b.dat ", "b.dat.", "b.dat. . ", "sub\\..\\b.dat."}) {
    EXPECT_NE(files_.GetFileAttributes(Path(spelling)), kInvalidFileAttributes) << spelling;
  }
  // Before a separator one final dot goes, and blanks stay.
  EXPECT_EQ(files_.GetFileAttributes(Path("sub.\\")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path("sub \\")), kInvalidFileAttributes);
  // A last part of dots and blanks alone is no step up: it names the folder itself.
  EXPECT_EQ(files_.GetFileAttributes(Path("sub\\.. ")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path("sub\\...")), kAttributeDirectory);

  ASSERT_TRUE(files_.AppendText(Path("b.dat "), "+"));
  EXPECT_EQ(backend_->ReadBytes(Path("b.dat")), "b+");
  EXPECT_TRUE(files_.DeleteFile(Path("b.dat.")));
  EXPECT_EQ(Names(Path("*")), (std::vector<std::string>{".", "..", "sub"}));
}

TEST_F(FilesConformance, ShortNamesAreMatchedByWildcardsAndReachTheSameFile) {
  Write("page.html", "p");
  ASSERT_TRUE(files_.CreateDirectory(Path("Long Folder Name")));
  Write("Long Folder Name\\Readme File.txt", "r");

  // The alias of "page.html" ends in ".HTM"; the search gives the long name.
  EXPECT_EQ(Names(Path("*.htm")), (std::vector<std::string>{"page.html"}));
  EXPECT_EQ(Names(Path("*.html")), (std::vector<std::string>{"page.html"}));

  const std::string longPath = Path("Long Folder Name\\Readme File.txt");
  const std::optional<std::string> shortPath = backend_->ShortPath(longPath);
  ASSERT_TRUE(shortPath);
  EXPECT_EQ(shortPath->find("Long Folder Name"), std::string::npos) << *shortPath;
  EXPECT_EQ(files_.ReadWholeFile(*shortPath), "r");

  const std::optional<platform::FileIdentity> identity = files_.GetFileIdentity(longPath);
  ASSERT_TRUE(identity);
  EXPECT_EQ(files_.GetFileIdentity(*shortPath), identity);
  EXPECT_EQ(files_.GetFileIdentity(Path("LONG folder name\\..\\Long Folder Name\\readme file.TXT")),
            identity);
  EXPECT_NE(files_.GetFileIdentity(Path("page.html")), identity);
}

TEST_F(FilesConformance, FileIdentityFollowsTheFileAndNotItsName) {
  Write("a.txt", "a");
  ASSERT_TRUE(files_.CreateDirectory(Path("dir")));
  const std::optional<platform::FileIdentity> original = files_.GetFileIdentity(Path("a.txt"));
  ASSERT_TRUE(original);

  ASSERT_TRUE(files_.CopyFile(Path("a.txt"), Path("copy.txt"), true));
  EXPECT_NE(files_.GetFileIdentity(Path("copy.txt")), original);
  ASSERT_TRUE(files_.MoveFileEx(Path("a.txt"), Path("dir\\moved.txt"), 0));
  EXPECT_EQ(files_.GetFileIdentity(Path("dir\\moved.txt")), original);
  EXPECT_EQ(files_.GetFileIdentity(Path("a.txt")), std::nullopt);

  // Folders have one too, and a read-only file still answers.
  const std::optional<platform::FileIdentity> folder = files_.GetFileIdentity(Path("dir"));
  ASSERT_TRUE(folder);
  EXPECT_EQ(files_.GetFileIdentity(Path("dir\\")), folder);
  EXPECT_NE(folder, original);
  ASSERT_TRUE(backend_->SetAttributes(Path("copy.txt"), kAttributeReadOnly));
  EXPECT_TRUE(files_.GetFileIdentity(Path("copy.txt")));
  EXPECT_EQ(original->volumeSerial, folder->volumeSerial);
}

// Run on Windows in a process whose ANSI code page is 932 (Wine: LC_ALL=ja_JP.UTF-8).
TEST_F(FilesConformance, CodePage932PathsAreTakenApartByCharacters) {
  ASSERT_TRUE(backend_->UseCodePage(932)) << "the process's ANSI code page is not 932";
  // Two characters whose second byte is the backslash's, and two that differ only in the
  // letter case of their second byte.
  const std::string yo = "\x97\x5C";
  const std::string hyo = "\x95\x5C";
  const std::string a = "\x83\x41";
  const std::string ya = "\x83\x61";
  const std::string folder = yo + hyo;

  ASSERT_TRUE(files_.CreateDirectory(Path(folder)));
  EXPECT_EQ(files_.GetFileAttributes(Path(folder)), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path(folder + "\\")), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes(Path(yo)), kInvalidFileAttributes);
  EXPECT_EQ(Names(Path("*")), (std::vector<std::string>{".", "..", folder}));

  ASSERT_TRUE(files_.AppendText(Path(folder + "\\" + a), "a"));
  ASSERT_TRUE(files_.AppendText(Path(folder + "\\" + ya), "ya"));
  EXPECT_EQ(Names(Path(folder + "\\*")), (std::vector<std::string>{".", "..", a, ya}));
  // "?" stands for one character, whatever its bytes ("." is one too).
  EXPECT_EQ(Names(Path(folder + "\\?")), (std::vector<std::string>{".", a, ya}));
  EXPECT_EQ(files_.ReadWholeFile(Path(folder + "\\" + ya)), "ya");
  EXPECT_EQ(files_.ReadWholeFile(Path(folder + "/" + a)), "a");

  EXPECT_TRUE(files_.DeleteFile(Path(folder + "\\" + a)));
  EXPECT_TRUE(files_.DeleteFile(Path(folder + "\\" + ya)));
  EXPECT_TRUE(files_.RemoveDirectory(Path(folder + "\\")));
  EXPECT_EQ(Names(Path("*")), (std::vector<std::string>{".", ".."}));
}
