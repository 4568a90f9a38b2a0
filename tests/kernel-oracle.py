#!/usr/bin/env python3
"""The kernel judges output paths: in random trees of folders, files, hard links and relative
or absolute links to anything or nothing (detours, loops), `printf X > SPELLING` in one copy and
`cuefold -o SPELLING` in another change the same files, or both fail.
usage: kernel-oracle.py CUEFOLD [SEED [TREES]]"""
import os, random, subprocess, sys, tempfile

NAMES = ["t.vtt", "h.vtt", "L0", "L1", "l.vtt", "n.vtt", "m/n.vtt", ""]


def tree(rng, root):
    folders, files, names = [""], [], []
    for _ in range(rng.randint(2, 5)):
        folders.append(os.path.join(rng.choice(folders), rng.choice(["d0", "d1", "sub"])))
        os.makedirs(root + "/" + folders[-1], exist_ok=True)
    for kind in rng.choices("fhll", k=12):
        name = rng.choice(NAMES[:2] if kind < "l" else NAMES[2:5])
        path = os.path.join(rng.choice(folders), name)
        if os.path.lexists(root + "/" + path):
            continue
        if kind == "f" or not files:
            open(root + "/" + path, "w").write(rng.choice(["", "WEBVTT\n"]))
            files.append(path)
        elif kind == "h":
            os.link(root + "/" + rng.choice(files), root + "/" + path)
        else:  # from the link's real folder, now and then by a detour, or from the root
            aim = rng.choice(folders * 2 + names + NAMES[5:] + [path]) or "."
            target = os.path.relpath(aim, os.path.dirname(path) or ".")
            if rng.random() < 0.3:
                target = os.path.join(rng.choice(folders[1:] + names + [".."]), "..", target)
            os.symlink(root + "/" + aim if rng.random() < 0.3 else target, root + "/" + path)
        names.append(path)


def state(top):
    """Each name under `top`: a folder, a link's text, or a file's bytes and number of names."""
    seen = {}
    for folder, folders, files in os.walk(top):
        for path in (os.path.join(folder, name) for name in folders + files):
            seen[path[len(top):]] = (os.readlink(path) if os.path.islink(path) else None
                                     if os.path.isdir(path) else
                                     (open(path, "rb").read(), os.stat(path).st_nlink))
    return seen


def spell(rng, root):
    """A path guided by what is there: `..` after linked folders, `.`, doubled slashes; from
    the current folder, the root, or the current folder's name in /proc."""
    parts = []
    for _ in range(rng.randint(0, 4)):
        here = os.path.join(root, *parts)
        if not os.path.isdir(here):
            break
        up = os.path.realpath(here).startswith(os.path.realpath(root) + "/")  # not out of it
        steps = ["..", "..", ".", ""][2 - 2 * up:3 + bool(parts)]
        parts.append(rng.choice(sorted(os.listdir(here)) + steps))
    spelling = rng.choice(["", "", "", "", root + "/", "/proc/self/cwd/"]) + "/".join(
        parts + [rng.choice(NAMES)])
    # Not out of the copy (two folders up), where the other copy could be written too.
    lands = os.path.realpath(os.path.join(root, spelling.replace("/proc/self/cwd", root, 1)))
    return spelling if lands.startswith(root.rsplit("/", 2)[0] + "/") else spell(rng, root)


def check(cuefold, seed, spellings=25):
    """Whether each spelling in one tree changes the same files; a tree two folders down in each
    copy, so that walks up out of it are tried too. cuefold syncs: in memory that costs nothing."""
    memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    rng, work = random.Random(seed), tempfile.mkdtemp(dir=memory)
    tops = [work + "/a", work + "/b"]
    for top in tops:
        tree(random.Random(seed), top + "/o/t")
    for number in range(spellings):
        spelling = spell(rng, tops[0] + "/o/t")
        open(work + "/in.txt", "w").write(f"00:00:01:00 - 00:00:02:00\nLine {number}\n")
        before = [state(top) for top in tops]
        runs = [subprocess.run(command, cwd=top + "/o/t", capture_output=True, text=True)
                for command, top in zip([["sh", "-c", f'printf X{number} >"$0"', spelling],
                                         [cuefold, "-q", "-i", work + "/in.txt", "-o",
                                          spelling.replace(tops[0], tops[1])]], tops)]
        changed = [sorted(p for p in old.keys() | new.keys() if old.get(p) != new.get(p))
                   for old, new in zip(before, map(state, tops))]
        if (runs[0].returncode == 0) != (runs[1].returncode == 0) or changed[0] != changed[1]:
            sys.exit(f"-o {spelling}:\n" + "".join(f"  {who}: status {run.returncode}, changed "
                     f"{files} {run.stderr}\n" for who, run, files in
                     zip(["the shell", "cuefold"], runs, changed))
                     + f"replay: {sys.argv[0]} CUEFOLD {seed} 1")
        WRITTEN.append(runs[0].returncode == 0)
    subprocess.run(["rm", "-r", work])


WRITTEN, seed = [], int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(10**9)
for tree_seed in range(seed, seed + int(sys.argv[3] if len(sys.argv) > 3 else 40)):
    check(os.path.abspath(sys.argv[1]), tree_seed)
print(f"{len(WRITTEN)} spellings from seed {seed}: cuefold wrote the file the shell wrote "
      f"({sum(WRITTEN)} times), or failed where it failed")
