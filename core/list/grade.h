#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUtf8StringView>

// The singer grade scale: 26 labels, index 0 ("尚未出道") to 25 ("超级巨星 5").
namespace Grade {

constexpr int kScaleSize = 26;

const QStringList &scale();

// The index of label in the scale, or kScaleSize when it is not a scale label.
int indexOf(QStringView label);
int indexOf(QUtf8StringView label); // a label's UTF-8 bytes, read without decoding them

// The grade label of a profile page: the highest tier whose marker occurs, with its
// number of occurrences as the level; "尚未出道" when no tier marker occurs.
QString derive(QStringView page);
QString derive(QUtf8StringView page); // a page's valid UTF-8 bytes

} // namespace Grade
