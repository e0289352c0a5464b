#pragma once
#include "platform/ISoundOutput.h"
#include <QList>

namespace platform {

// Test double: keeps every sound asked for and answers with `result`.
class RecordingSoundOutput final : public ISoundOutput {
public:
    bool play(const QByteArray &wave) override
    {
        played.append(wave);
        return result;
    }

    QList<QByteArray> played;
    bool result = true;
};

} // namespace platform
