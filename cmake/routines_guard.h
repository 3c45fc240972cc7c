// Forced into every file of the program's routines. Qt is off their include path; libmpv's and
// SQLite's headers are not (they sit in /usr/include), so names they declare are poisoned: a
// routine that includes one of them does not compile. The platform layer is the way to them.
#pragma once
#pragma GCC poison mpv_handle mpv_event sqlite3_stmt sqlite3_open_v2
