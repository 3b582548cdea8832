#pragma once

#include <QByteArrayView>

namespace Module1::detail {

// Whether the bytes are valid UTF-8, exactly as QByteArrayView::isValidUtf8 judges them,
// sixteen bytes at a time where the processor can: most of a Chinese page is multi-byte
// text, which Qt's check walks one character at a time.
bool isValidUtf8(QByteArrayView bytes);

} // namespace Module1::detail
