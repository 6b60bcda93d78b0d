// The SDI card's IT66121 transmitter. The input-source manager owns one; nothing in this
// system starts the card, so only the object exists until its driver replaces this header.
#pragma once

class it66121_sys {};
