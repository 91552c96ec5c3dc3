local start = os.clock()
local points = {}
for i = 0, 999999 do points[#points + 1] = {x = i, y = i + 1} end
local sum = 0
for i = 1, #points do sum = sum + points[i].y - points[i].x end
print(sum, os.clock() - start)
