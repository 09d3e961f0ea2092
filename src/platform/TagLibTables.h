#pragma once
#include <taglib/asftag.h>
#include <taglib/mp4tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

// TagLib fills some name tables on first use, without a lock: the ID3v2 people list (TIPL roles) and
// the MP4 and ASF property names. Two files tagged at once could meet a half-filled or broken table
// and lose or garble fields. Every file that calls TagLib includes this header, whose variable fills
// them at start-up, before any second thread.
namespace taglib_tables {

inline bool Fill() {
    TagLib::PropertyMap album;
    album["ALBUM"] = TagLib::StringList(TagLib::String("a"));
    TagLib::ASF::Tag asf;
    asf.setProperties(album);
    TagLib::MP4::Tag mp4;
    mp4.setProperties(album);
    return !TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap().isEmpty();
}

inline const bool kFilled = Fill();

}  // namespace taglib_tables
