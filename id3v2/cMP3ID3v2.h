#pragma once
// The ID3v2 tag of one MP3 file. Setting MP3File loads the tag into frames (raw bytes, keyed
// "ID:n") and typed fields; the getters below read them. The file is open only during the load.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

class cMP3ID3v2 {
 public:
  cMP3ID3v2();

  // Stores the path and loads its tag. A file that cannot be opened throws qn::StepError;
  // the object then stays reset (no tag, Genre 255).
  void MP3File(const std::string& path);
  // The same from a file open already, named by its path().
  void MP3File(platform::ByteFile& file);
  const std::string& MP3File() const { return mp3_file_; }

  bool HasID3v2Tag() const { return tag_position_ >= 1; }
  std::uint8_t ID3v2TagVersion() const { return version_; }
  std::uint8_t TagVersion() const { return version_; }
  std::int32_t ID3v2TagLenOnLoad() const { return tag_length_; }

  // Typed fields: the content of the last frame of their id, empty when there was none. Each set
  // form stores the value and replaces every frame of its id by one new frame; the file changes
  // only through Update.
  std::string Title() const { return field("TIT2"); }
  void Title(const std::string& v) { set_plain("TIT2", v); }
  std::string subTitle() const { return field("TIT3"); }
  void subTitle(const std::string& v) { set_plain("TIT3", v); }
  std::string Artist() const { return field("TPE1"); }
  void Artist(const std::string& v) { set_plain("TPE1", v); }
  std::string Accomp() const { return field("TPE2"); }
  void Accomp(const std::string& v) { set_plain("TPE2", v); }
  std::string Conductor() const { return field("TPE3"); }
  void Conductor(const std::string& v) { set_plain("TPE3", v); }
  std::string Album() const { return field("TALB"); }
  void Album(const std::string& v) { set_plain("TALB", v); }
  std::string Year() const { return field("TYER"); }
  void Year(const std::string& v) { set_plain("TYER", v); }
  // Every COMM frame, joined by NUL CR LF. The set form writes one frame "eng" NUL value.
  std::string Comment() const { return comment_; }
  void Comment(const std::string& v);
  // Genre number from TCON "(n)"; 255 when the tag gives none. The set form keeps the number in
  // the object only: the TCON frame it writes holds the OtherGenreName text.
  std::uint8_t Genre() const { return genre_; }
  void Genre(std::uint8_t v);
  std::string Track() const { return field("TRCK"); }
  void Track(const std::string& v) { set_plain("TRCK", v); }
  std::string LengthInMilliSecs() const { return field("TLEN"); }
  void LengthInMilliSecs(const std::string& v) { set_plain("TLEN", v); }
  std::string size() const { return field("TSIZ"); }
  void size(const std::string& v) { set_plain("TSIZ", v); }
  std::string Medium() const { return field("TMED"); }
  void Medium(const std::string& v) { set_plain("TMED", v); }
  std::string SoftHardSettings() const { return field("TSSE"); }
  void SoftHardSettings(const std::string& v) { set_plain("TSSE", v); }
  std::string PlayCounter() const { return field("PCNT"); }
  void PlayCounter(const std::string& v) { set_plain("PCNT", v); }
  std::string EncodedBy() const { return field("TENC"); }
  void EncodedBy(const std::string& v) { set_plain("TENC", v); }
  std::string FileType() const { return field("TFLT"); }
  void FileType(const std::string& v) { set_plain("TFLT", v); }
  std::string OtherGenreName() const { return other_genre_name_; }
  void OtherGenreName(const std::string& v);
  std::string LinkTo() const { return field("WXXX"); }
  void LinkTo(const std::string& v) { set_after_nul("WXXX", v); }
  std::string OriginalArtist() const { return field("TOPE"); }
  void OriginalArtist(const std::string& v) { set_plain("TOPE", v); }
  std::string Composer() const { return field("TCOM"); }
  void Composer(const std::string& v) { set_plain("TCOM", v); }
  std::string Copyright() const { return field("TCOP"); }
  void Copyright(const std::string& v) { set_plain("TCOP", v); }
  std::string ArtistURL() const { return field("WOAR"); }
  void ArtistURL(const std::string& v) { set_plain("WOAR", v); }
  std::string AudioURL() const { return field("WOAF"); }
  void AudioURL(const std::string& v) { set_plain("WOAF", v); }
  std::string BuyURL() const { return field("WCOM"); }
  void BuyURL(const std::string& v) { set_plain("WCOM", v); }
  std::string Lyrics() const { return field("USLT"); }
  void Lyrics(const std::string& v) { set_after_nul("USLT", v); }
  std::string MediaJukeboxMetaData() const { return field("MJMD"); }
  void MediaJukeboxMetaData(const std::string& v) { set_after_nul("MJMD", v); }
  std::string Popularimeter() const { return field("POPM"); }
  void Popularimeter(const std::string& v) { set_after_nul("POPM", v); }
  // Descriptions of the binary frames: "Contains ..." and the content length, or empty. The set
  // forms take the content itself.
  std::string Picture() const;
  void Picture(const std::string& v) { set_after_nul("APIC", v); }
  std::string MCDI() const;
  void MCDI(const std::string& v) { set_after_nul("MCDI", v); }
  std::string GEOB() const;
  void GEOB(const std::string& v) { set_after_nul("GEOB", v); }

  // Display name of an ID3v1 genre number; empty for numbers without a name.
  std::string GenreName(std::uint8_t genre) const;

  // Generic frame view. Positions and instance numbers count from 1.
  std::int32_t FrameCount() const { return static_cast<std::int32_t>(frame_list_.size()); }
  // Throws StepError for an index outside 1..FrameCount.
  std::string Frame(std::int32_t index) const;
  // Instances of an id (0 when absent), or of the entry at a position of the instance counts.
  std::int32_t TagsInFrame(const std::string& frame) const;
  std::int32_t TagsInFrame(std::int32_t position) const;
  // Throws StepError when that instance does not exist.
  std::string TagText(const std::string& frame, std::int32_t instance) const;
  // Appends one instance of an id (typed fields stay). The id must have four characters, not all
  // NUL, or the written tag would not parse: other ids throw StepError.
  void AddTag(const std::string& sFrame, const std::string& sTag);
  // Removes an id with all its instances, by id or by position in the frame list; throws
  // StepError when there is no such entry.
  void RemoveFrame(const std::string& frame);
  void RemoveFrame(std::int32_t position);
  // Removes one instance and renumbers the later ones down by one; throws StepError when that
  // instance does not exist.
  void RemoveTag(const std::string& sFrame, std::int32_t tagIndex);

  // Writes the frames into MP3File as a version 3 tag: in place when the new tag is shorter
  // than the old one, otherwise through a new file beside it that replaces it by renaming, so
  // a failure leaves the original as it was. Failures throw StepError naming the path.
  void Update();
  // The system's folder for temporary files.
  std::string GetTempDir() const;

 private:
  void reset();
  // Loads the tag of `file`, or of mp3_file_ opened here when it is null.
  void load(platform::ByteFile* file);
  void store_frame(const std::string& id, const std::string& text);
  std::int32_t add_instance(const std::string& id, const std::string& text);
  void set_count(const std::string& id, std::int32_t n);
  void remove_frame_entry(const std::string& id);
  void set_plain(const char* id, const std::string& value);
  void set_after_nul(const char* id, const std::string& value);
  void replace_frames(const char* id, const std::string& frame_text);
  std::string tag_image() const;
  void set_typed_field(const std::string& id, const std::string& text);
  void set_genre_from_tcon(const std::string& text);
  std::string field(const char* id) const;

  std::string mp3_file_;
  std::int32_t tag_length_ = 0;
  std::int64_t tag_position_ = 0;  // 1-based position of the byte after "ID3"; 0: no tag
  std::uint8_t version_ = 0;

  std::map<std::string, std::string> fields_;  // typed text fields by frame id
  std::string comment_;
  std::string other_genre_name_;
  std::uint8_t genre_ = 255;

  std::vector<std::string> frame_list_;  // ids, by first appearance
  // The instance counts, ordered by their last change (the last-changed entry at the end), with
  // an index by id: a tag of many distinct ids loads in O(n log n), not O(n^2).
  struct CountEntry {
    std::int32_t count = 0;
    std::uint64_t changed = 0;  // key in count_order_
  };
  std::map<std::string, CountEntry> counts_;
  std::map<std::uint64_t, std::string> count_order_;
  std::uint64_t next_change_ = 0;
  std::map<std::string, std::string> frame_texts_;  // "ID:n" -> content
};

// The typed fields `ids` ("TPE1", "TIT2", ...) of the tag of an MP3 file as a loaded cMP3ID3v2
// gives them, each cut to its first `most` bytes, read without loading the tag: frame headers are
// walked and of the last frame of each id only the first 4 x `most` bytes are read, so a field of
// megabytes costs no more than one of a few kilobytes. The cut text differs from the loaded one
// only where it ends in NULs the frame holds beyond the bytes read (kept here, though the rest of
// the frame may be NULs only), and where more than 3 x `most` NULs stand in front of the text
// (the text behind them is cut shorter or lost). Throws StepError as MP3File does.
std::vector<std::string> read_cut_fields(const std::string& path, const std::vector<std::string>& ids,
                                         std::size_t most);

}  // namespace qn
