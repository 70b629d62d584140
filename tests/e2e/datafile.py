"""The data file zpdata.mrdt, written and read from its layout here (not by the
program): "VER110", statistics, the pet count, then 50 slots of 15 lines, CR LF."""

DATA = "zpdata.mrdt"
SLOT_FIELDS = ["growthPeriod", "posX", "posY", "dayScore", "mouseLevel", "stageMinutes",
               "mouseTravel", "species", "zoom", "speed", "chaseMouse", "growthStage",
               "chaseMinutes"]
LINES = 1355
COUNT_LINE = 604  # 0-based: after the version, 501 + 101 statistics lines and one more


def num(v):
    return ("" if v < 0 else " ") + str(v) + " "


def pet(x, y, speed, zoom=100, period=1, species=0, chase=0, date="2026/01/01"):
    # No default speed: how fast a pet walks decides what a check can see.
    p = {f: 0 for f in SLOT_FIELDS}
    p.update(growthPeriod=period, posX=x, posY=y, speed=speed, zoom=zoom, species=species,
             chaseMouse=chase, createdOn=date, criterionMode=0)
    return p


def format_data(pets):
    lines = ["VER110", num(0)] + [num(0)] * 501 + [num(0)] * 101 + [num(len(pets))]
    for i in range(50):
        p = pets[i] if i < len(pets) else None
        if p is None:
            lines += [num(0)] * 13 + ["", num(0)]
        else:
            lines += [num(p[f]) for f in SLOT_FIELDS] + [p["createdOn"], num(p["criterionMode"])]
    assert len(lines) == LINES
    return ("\r\n".join(lines) + "\r\n").encode()


def parse_data(data):
    """Pets of a saved file as dicts, in slot order; raises on a malformed file."""
    lines = data.decode().split("\r\n")
    if lines[-1] == "":
        lines.pop()
    if len(lines) != LINES or lines[0] != "VER110":
        raise ValueError(f"not a data file: {len(lines)} lines, first {lines[0]!r}")
    count = int(lines[COUNT_LINE])
    pets = []
    for i in range(count):
        base = COUNT_LINE + 1 + i * 15
        p = {f: int(lines[base + k]) for k, f in enumerate(SLOT_FIELDS)}
        p["createdOn"] = lines[base + 13]
        p["criterionMode"] = int(lines[base + 14])
        pets.append(p)
    return pets
