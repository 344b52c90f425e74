# Reads the delaying relay's log of one program's run and prints, for its
# first control connections, the commands sent before the step's answer
# could come (a listing or a file's first byte) and the round trips they
# took: commands that left together (within 10 ms) wait for one answer.
# Usage: round_trips.py LOG NAME [CONNECTIONS]
import sys

log, name = sys.argv[1], sys.argv[2]
wanted = int(sys.argv[3]) if len(sys.argv) > 3 else 2
STEPS = ("LIST", "MLSD", "NLST", "RETR", "STOR")
commands, kinds = {}, {}
for line in open(log, encoding="utf-8", errors="replace"):
    parts = line.rstrip("\n").split(" ", 2)
    if len(parts) == 3 and parts[2] == "open":
        kinds[int(parts[0])] = parts[1]
        continue
    if len(parts) < 3 or not parts[2].startswith("> "):
        continue  # a reply
    commands.setdefault(int(parts[0]), []).append((float(parts[1]), parts[2][2:]))
shown = 0
for link in sorted(commands):
    if kinds.get(link) != "control" or shown == wanted:
        continue
    sent, rounds, last = [], 0, None
    for at, command in commands[link]:
        if last is None or at - last > 10:
            rounds += 1
        last = at
        verb = command.split(" ")[0].upper()
        sent.append(verb)
        if verb in STEPS:
            break
    else:
        continue  # a connection that never listed nor moved a file
    shown += 1
    step = "first listing" if sent[-1] in ("LIST", "MLSD", "NLST") else "first byte"
    print("%-7s connection %d, to its %-13s %2d round trips: %s" % (name, shown, step, rounds, " ".join(sent)))
