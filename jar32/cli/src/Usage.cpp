#include "Usage.h"

namespace jar32::cli {

std::string_view usageText() {
  return R"(JAR 1.02 (stand-in for Linux): real archives with chapters and recovery records
Copyright (c) 2026 the Tamber developers

Usage: jar32.exe <command> <archive> [switches] [names...] [@file-list]
       jar32.exe @argument-file
An argument file holds the same items on one line; double-quoted parts are taken literally.
A file list (@name) holds double-quoted names separated by blanks. Names are host paths (for
adding) or member names (for deleting, extracting, listing); '/' and '\' both separate folders,
'*' and '?' are wildcards. Member names are given with or without a leading backslash.

Commands:
  a    add files (replacing their versions in the last chapter)
  u    update: add new files, replace versions whose file changed
  f    freshen: replace versions whose file changed, add nothing new
       (changed = another size, or a modification time later, earlier or within the
       same second; a change of mode, owner or -ja attributes alone is a new version
       that shares the stored data)
  m    move: add, then delete the sources once the archive is safely written
  ac   add a chapter: chapter N+1 holds exactly the files given; an unchanged file extends
       its version's chapter range, a changed one gets a new version
  d    delete members from the last chapter
  da   delete members from every chapter
  dc   delete a range of chapters, given bare after the switches: 2-3, 4-, -2, or - (all);
       later chapters are renumbered
  e    extract without folders          x    extract with folders
  l    list                             t    test
  y    copy the archive with new options, to -o or in place
  rh   recover the header of a damaged archive into "$recover.j" in the current folder
  CFG  write a configuration file (jar.cfg) with the default switches to the path given

Switches (a trailing - switches off; switches may come anywhere after the command):
  -g<pw>, -g"pw"  password; -g- none         -hg0/-hg1  protection of a new key:
  -jg"pw"  y: new password; -jg keeps it;              0 XChaCha20-Poly1305 with Argon2id,
           -jg- removes the protection                 1 GOST 28147-89 encrypt-then-MAC
  -m1..-m4 Fast, Normal, Better, Best (-m- the default, Normal; y: keep the compression)
  -r       recurse into subfolders (a folder named without wildcards is always taken whole)
  -jf      keep the path as matched (relative: its folders; absolute: all after the root);
           without it a member is the path below the pattern's own folder
  -o"dir"  add: base folder inside the archive ("\" the root); e, x: target folder;
           y: output archive
  -x"name" exclude names or wildcards (without a folder part: in every folder)
  -jb<A-B> chapters for l, e, x (default: the last; -jb1- all; open bounds allowed)
  -jc      l: also print the chapter comments of the chapters listed (after the totals)
  -js0/-js1/-js2  ac: unchanged = same size and time / same content / never (bare -js = 2)
  -jl/-jl1/-jl2   lock the archive / lock its chapters / lock it at the next change
  -jx      hide the contents (the directory is encrypted; listing needs the password)
  -jt      test the new archive before it replaces the old one
  -ht0     test the new and updated members before the archive is replaced
  -jr      t, e, x: an archive its recovery records repair is replaced by the repaired
           one (after that tested clean); extraction goes on past damaged members
  -z"file" archive comment from a file (-zNUL removes it); -hz"file", -hzNUL chapter comment
  -w"dir"  work folder for the new archive
  -l"file" write the processed names to a file, one a line (control characters and
           bytes that are not UTF-8 as ?)
  -ja      keep extended attributes (adding and extracting; off by default)
  -s       the archive's time is its newest member's; -s1 keep it; -s- now (default)
  -f/-f1/-f2  extract only files that exist on disk and whose member is newer/older/changed
  -u/-u1/-u2  extract new files and existing ones whose member is newer/older/changed
  -y       assume yes on every question (replace existing files)
  -q       ask before each file (on the terminal)
  -n       add only names not yet in the archive
  -d       delete the sources after adding (as m does): only files whose bytes were
           stored or compared and that did not change since they were found
  -ha      extraction replaces read-only files; m and -d remove read-only sources
  -hba0 -hbd0 -hbh0 -hbr0 -hbs0  leave out plain files / folder members / dot-names /
           read-only files / system files (there are none here) when adding
  -b0/-b1  archive bits, -hf..  long-name processing: accepted, no effect on Linux
  -hy      sign the changed archive with your key (a security envelope)
  -he      read a signed archive without testing its envelope
  -v<size> cut the archive into volumes name.j, name.j01, ... (360, 720, 1440: KiB;
           2880k, 100m, 100431870: k/m/g or bytes); -va sized by the free space,
           -vr<size> keeps that much free, -vi never asks, -vv a bell at each volume,
           -v- joins a set into one file
  -hk      add recovery records (3% of the archive; -hk<N>: N percent, 1..50) to the
           changed archive; other changes keep them, y without -hk removes them
  -hx      extraction reads the archive as its recovery records repair it

Names refused when adding (a warning each): names holding \ " * ? or control characters,
names beginning with a blank, file and link names ending with one, folder names holding
"Total files listed". Argument files and file lists must be regular files.
Extraction restores times to the nanosecond, modes with the sticky bit, hard links, holes
of sparse files, and as root owner and group; it never replaces the archive being read.

Attributes in the listing: A file (D folder, L link), H dot-name, R read-only, S never.
jar.cfg in the program's folder holds default switches per command (see CFG).

Exit codes: 0 ok, 1 warning (something skipped), 2 fatal, 3 CRC or authentication failure,
5 disk full or write error, 6 cannot open a file, 7 bad parameters, 8 out of memory,
9 not a JAR archive, 10 internal error, 11 interrupted.
)";
}

}  // namespace jar32::cli
