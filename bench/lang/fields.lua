local start = os.clock()
local p = { x = 0, y = 0, hits = 0 }
local i = 0
while i < 1000000 do
    p.x = p.x + 1
    p.y = p.y + p.x
    p.hits = p.hits + 1
    i = i + 1
end
print(p.y, os.clock() - start)
