// The cards a machine file can name. A new card is its own files plus one line here.
#include "machine/card.h"
#include "machine/cirrus_card.h"
#include "machine/dispi_card.h"
#include "machine/machine.h"

namespace machine {

const std::vector<CardType>& cardTypes()
{
    static const std::vector<CardType> types = {
        {"stdvga", "QEMU's standard VGA with the Bochs DISPI extension (and Palisade's own registers)",
         &DispiCard::make},
        {"cirrus", "Cirrus Logic CL-GD5446 (1, 2 or 4 MB) with its BitBLT engine and hardware cursor",
         &CirrusCard::make},
        {"s3", "S3 Trio64, as DOSBox's svga_s3: read through its registers on a PC Palisade reaches through its agent",
         nullptr},
    };
    return types;
}

std::unique_ptr<Card> makeCard(const MachineConfig& config, std::function<uint64_t()> now)
{
    for (const CardType& type : cardTypes()) {
        if (config.card != type.name)
            continue;
        if (!type.make)
            throw MachineError("machine " + config.name + ": the virtual PC has no " + config.card +
                               " card; it is on PCs Palisade reaches through its agent (engine = agent)");
        return type.make(config, std::move(now));
    }
    std::string known;
    for (const CardType& type : cardTypes())
        known += (known.empty() ? "" : ", ") + std::string(type.name);
    throw MachineError("machine " + config.name + ": unknown card '" + config.card + "' (known: " + known + ")");
}

}  // namespace machine
