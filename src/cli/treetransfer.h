#pragma once

class CliSession;
struct CommandLine;

// get -r and put -r: a folder tree down or up. The walk (listing, folder
// creation) runs on the session; the files go to a pool of --parallel
// connections, or over the session itself with --parallel 1.
void GetTree(CliSession &session, const CommandLine &line);
void PutTree(CliSession &session, const CommandLine &line);
