#!/usr/bin/python3
# Prints the accessibility tree of a running application (by its AT-SPI
# name) as a screen reader sees it; exit 1 when an interactive node has no name.
import sys, gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi
name = sys.argv[1] if len(sys.argv) > 1 else "Quillmark"
desk = Atspi.get_desktop(0)
apps = [desk.get_child_at_index(i) for i in range(desk.get_child_count())]
app = next((a for a in apps if a and a.get_name() == name), None)
if not app:
    print('apps:', [a.get_name() for a in apps if a]); sys.exit(2)
INTERACTIVE = {'push button', 'toggle button', 'combo box', 'check box', 'radio button', 'text',
               'spin button', 'slider', 'scroll bar', 'table', 'menu item', 'page tab', 'entry',
               'list', 'tree table', 'tool bar', 'menu', 'button'}
bad = 0
def walk(node, depth, maxdepth=12):
    global bad
    if depth > maxdepth: return
    try:
        role = node.get_role_name(); nm = node.get_name() or ''; desc = node.get_description() or ''
    except Exception as e:
        print('  ' * depth + f'<error {e}>'); return
    n = node.get_child_count()
    mark = ''
    if role in INTERACTIVE and not nm.strip():
        mark = '   <-- NO NAME'; bad += 1
    if role not in ('table cell',) or depth < 6:
        print('  ' * depth + f'[{role}] "{nm}" {("(" + desc + ")") if desc else ""}{mark}')
    if role in ('table', 'tree table'):
        print('  ' * depth + f'  ({n} children; cells: first shown)')
        for i in list(range(min(n, 6))) + list(range(34, min(n, 72))):
            c = node.get_child_at_index(i)
            if c: print('  ' * (depth + 1) + f'[{c.get_role_name()}] "{c.get_name()}"')
        return
    for i in range(n):
        c = node.get_child_at_index(i)
        if c: walk(c, depth + 1)
for i in range(app.get_child_count()):
    walk(app.get_child_at_index(i), 0)
print('unnamed interactive nodes:', bad)
sys.exit(1 if bad else 0)
