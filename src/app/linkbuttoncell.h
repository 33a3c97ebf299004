#pragma once

// The one button cell the link column draws every row with.
class LinkButtonCell {};
