#pragma once
// The ID3v2 tag of one MP3 file. Setting MP3File loads the tag into frames (raw bytes, keyed
// "ID:n") and typed fields; the getters below read them. The file is open only during the load.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qn {

class cMP3ID3v2 {
 public:
  cMP3ID3v2();

  // Stores the path and loads its tag. A file that cannot be opened throws qn::StepError;
  // the object then stays reset (no tag, Genre 255).
  void MP3File(const std::string& path);
  const std::string& MP3File() const { return mp3_file_; }

  bool HasID3v2Tag() const { return tag_position_ >= 1; }
  std::uint8_t ID3v2TagVersion() const { return version_; }
  std::uint8_t TagVersion() const { return version_; }
  std::int32_t ID3v2TagLenOnLoad() const { return tag_length_; }

  // Typed fields: the content of the last frame of their id, empty when there was none.
  std::string Title() const { return field("TIT2"); }
  std::string subTitle() const { return field("TIT3"); }
  std::string Artist() const { return field("TPE1"); }
  std::string Accomp() const { return field("TPE2"); }
  std::string Conductor() const { return field("TPE3"); }
  std::string Album() const { return field("TALB"); }
  std::string Year() const { return field("TYER"); }
  // Every COMM frame, joined by NUL CR LF.
  std::string Comment() const { return comment_; }
  // Genre number from TCON "(n)"; 255 when the tag gives none.
  std::uint8_t Genre() const { return genre_; }
  std::string Track() const { return field("TRCK"); }
  std::string LengthInMilliSecs() const { return field("TLEN"); }
  std::string size() const { return field("TSIZ"); }
  std::string Medium() const { return field("TMED"); }
  std::string SoftHardSettings() const { return field("TSSE"); }
  std::string PlayCounter() const { return field("PCNT"); }
  std::string EncodedBy() const { return field("TENC"); }
  std::string FileType() const { return field("TFLT"); }
  std::string OtherGenreName() const { return other_genre_name_; }
  std::string LinkTo() const { return field("WXXX"); }
  std::string OriginalArtist() const { return field("TOPE"); }
  std::string Composer() const { return field("TCOM"); }
  std::string Copyright() const { return field("TCOP"); }
  std::string ArtistURL() const { return field("WOAR"); }
  std::string AudioURL() const { return field("WOAF"); }
  std::string BuyURL() const { return field("WCOM"); }
  std::string Lyrics() const { return field("USLT"); }
  std::string MediaJukeboxMetaData() const { return field("MJMD"); }
  std::string Popularimeter() const { return field("POPM"); }
  // Descriptions of the binary frames: "Contains ..." and the content length, or empty.
  std::string Picture() const;
  std::string MCDI() const;
  std::string GEOB() const;

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

 private:
  void reset();
  void store_frame(const std::string& id, const std::string& text);
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

  std::vector<std::string> frame_list_;                        // ids, by first appearance
  std::vector<std::pair<std::string, std::int32_t>> counts_;  // last-changed entry at the end
  std::map<std::string, std::string> frame_texts_;            // "ID:n" -> content
};

}  // namespace qn
