#pragma once

#include <span>
#include <string_view>

namespace tessadorn {

// The GPS receiver makes the modem can take its position from.
enum class GpsReceiver { Kv318 = 0, Trimble = 1, Wavecom = 2, Unknown = 3, Topcon = 4 };

// What the second list of the GPS configuration holds for a make.
enum class ReceiverChoice { Nothing, Port, Rate };

// One receiver make: how the modem names it and what choosing it does to the modem. Every rule
// that depends on the make reads this row; a new make is a row here and a line in the GPS
// dialog's list.
struct ReceiverRow {
    GpsReceiver make;
    std::string_view type;       // as the modem reports it ("TRIMBLE")
    std::string_view dialogName; // in the GPS dialog's list ("HALVIK KV-318")
    int linkRate;                // the baud index the modem's port moves to; -1 the user's choice
    bool endsAutoConnect;        // choosing it turns automatic connection off
    bool keepsCaster;            // the modem keeps a caster connection of its own with it
    bool polled;                 // its connection state is asked while the modem is watched
    bool sendsPosition;          // the receiver gives the modem a position for the caster
    ReceiverChoice second;       // the second value: its port, the modem's rate, or nothing
};

// Every make, in the GPS dialog's order.
std::span<const ReceiverRow> receivers();
const ReceiverRow& receiverRow(GpsReceiver make);
// The row of a type the modem reports, or nullptr for a type no row names.
const ReceiverRow* receiverByType(std::string_view type);
// The make of a name as typed on the command line: the type or the dialog's name, any case.
const ReceiverRow* receiverByName(std::string_view name);

// The type name the modem reports for a make ("KV-318", "TRIMBLE", ...).
std::string_view receiverType(GpsReceiver make);

// True for the GPS types with which the modem keeps a caster connection of its own (and so is
// asked about it at start).
bool keepsCasterConnection(std::string_view gpsType);
// True for the GPS types with which automatic connection is offered: every type but those that
// end it (a type no row names included).
bool offersAutoConnect(std::string_view gpsType);
// True for the GPS types whose connection state is asked while the modem is watched.
bool pollsConnection(std::string_view gpsType);

} // namespace tessadorn
