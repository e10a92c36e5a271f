#pragma once
// The Spanish text rules, one definition for every engine and every screen:
// how a text is folded to be searched and ordered, the member list's order
// key, the table editor's LIKE and its comparison of texts.
#include <QByteArrayView>
#include <QString>
#include <string>
#include <vector>

// Where ñ goes: searching finds "Núñez" by "nunez" (ñ as n); ordering puts
// "Nuñez" after every "Nunez…" (ñ as "n~": the tilde sorts above every letter).
enum class Enye { AsN, AfterN };

// Appends `utf8` folded to `out`: without case and without accents ("Gómez",
// "GOMEZ" and "gomez" all give "gomez"), ligatures and special Latin letters
// spelled out in plain letters ("ß" -> "ss", "Æ" -> "ae", "Ø" -> "o"),
// accents typed apart from their letter dropped. A malformed byte stands for
// itself.
void FoldSpanish(QByteArrayView utf8, Enye enye, std::string &out);
QString FoldSpanish(const QString &text, Enye enye);

// The key members are listed by, as SQL over `column`. It is the rule above
// for the letters of Spanish (á é í ó ú ü ñ, either case, each replaced by its
// fold) and SQLite's NOCASE for the rest, written with SQLite's own functions
// only: the index over it (Socio_Orden, which also holds every column the list
// shows) leaves the file usable by any SQLite tool, and files made earlier
// hold an index over this very text. A chain of replace() for every letter
// the rule folds would overflow SQLite's parser.
QString SocioOrderKey(const QString &column);

// Two texts as the user's locale orders them, without regard to case (the
// table editor's comparison): negative, zero or positive.
int CompareTexts(QStringView a, QStringView b);

// A filter's LIKE pattern: % or * any text, _ or ? one character, the rest
// literally, without regard to case or accents (both folded as FoldSpanish
// does, ñ as n). Each stretch between two "any text" marks is found at its
// leftmost place, which is where it serves best, so a match takes one pass
// over the text for each stretch's length: no pattern, however many marks it
// has, makes it slow.
class LikeMatcher
{
public:
    explicit LikeMatcher(const QString &pattern = QString());
    bool matches(const QString &text) const;
    bool matchesUtf8(QByteArrayView utf8) const;

private:
    static constexpr char32_t kOne = 0xFFFFFFFF; // stands for one character of any kind
    bool matchAt(const std::vector<char32_t> &segment, const std::vector<char32_t> &text, size_t at) const;

    std::vector<std::vector<char32_t>> m_segments; // the stretches between "any text" marks
    bool m_leadingAny = false;
    bool m_trailingAny = false;
    bool m_anyAtAll = false;
};
